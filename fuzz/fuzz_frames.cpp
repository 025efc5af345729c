// libFuzzer target: the write-command and report parsers on any SMS text,
// read directly and as the stations read them. Directly: a text is a frame
// only when it is one (its exact length, "BEGIN" first, "END", the type code),
// its fields read as the C library's atoi and sscanf("%X") read them, and
// nothing is written past the parsed record. Through the stations (the text
// listed by the modem as an 8-bit message): the only registers that change
// are the ones the frame names, on a site of 0 to 31 and inside the image,
// and nothing else of the station moves.
//
// Input: the first byte picks the remote station's own site (-2 to 33, so
// stations that own no site are fuzzed too); the rest, up to a NUL and at
// most 160 bytes, is the message text.
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "stations/central_station.h"
#include "stations/remote_station.h"
#include "stations/station_registers.h"
#include "stations/telemetry_frame.h"
#include "support/fuzz_check.h"
#include "support/station_rig.h"

namespace {

using namespace kelvora;
using fuzz::BytesAre;
using fuzz::BytesEqual;

constexpr size_t kMaxText = 160;
constexpr uint8_t kGuardByte = 0xA5;

// A frame as the C library reads one: the reference for the parsers.
struct ReadFrame {
    bool isFrame = false;
    int32_t site = 0;
    int32_t address = 0;
    uint32_t values[kGroupSize] = {};
};

ReadFrame ReadWithCLibrary(const std::string& text, const char* typeCode, size_t length, int valueCount) {
    ReadFrame frame;
    frame.isFrame = text.size() == length && text.compare(0, 5, "BEGIN") == 0 &&
                    text.find("END") != std::string::npos && text.compare(5, 2, typeCode) == 0;
    if (!frame.isFrame) return frame;
    char site[3] = {};
    char address[4] = {};
    text.copy(site, 2, 7);
    text.copy(address, 3, 9);
    frame.site = std::atoi(site);
    frame.address = std::atoi(address);
    for (int i = 0; i < valueCount; ++i) {
        char field[9] = {};
        text.copy(field, 8, 12 + 8 * static_cast<size_t>(i));
        unsigned value = 0;
        if (std::sscanf(field, "%X", &value) != 1) value = 0;
        frame.values[i] = value;
    }
    return frame;
}

// Parses into a record with guard bytes behind it, which must stay as they were.
template <class Frame>
bool ParseGuarded(bool (*parse)(const char*, Frame*), const std::string& text, Frame* frame) {
    struct {
        Frame frame;
        uint8_t after[16];
    } guarded;
    std::memset(&guarded, kGuardByte, sizeof guarded);
    const bool parsed = parse(text.c_str(), &guarded.frame);
    FUZZ_CHECK(BytesAre(guarded.after, sizeof guarded.after, kGuardByte), "nothing written past a parsed frame");
    *frame = guarded.frame;
    return parsed;
}

void CheckParsers(const std::string& text, const ReadFrame& command, const ReadFrame& report) {
    WriteCommand w{};
    const bool isCommand = ParseGuarded(ParseWriteCommand, text, &w);
    FUZZ_CHECK(isCommand == command.isFrame, "a write command exactly when the text is one");
    FUZZ_CHECK(!isCommand || (w.site == command.site && w.address == command.address && w.value == command.values[0]),
               "a write command's fields read as atoi and sscanf read them");

    Report r{};
    const bool isReport = ParseGuarded(ParseReport, text, &r);
    FUZZ_CHECK(isReport == report.isFrame, "a report exactly when the text is one");
    FUZZ_CHECK(!isReport || (r.site == report.site && r.firstAddress == report.address &&
                             std::memcmp(r.values, report.values, sizeof report.values) == 0),
               "a report's fields read as atoi and sscanf read them");
}

// A listing of one stored message: the text as 8-bit data, every time from
// another number (the stations' DETC is empty: any sender is accepted), so
// that no run's message is the second copy of an earlier one.
std::string ListingOf(const std::string& text) {
    static uint32_t run = 0;
    char sender[16];
    std::snprintf(sender, sizeof sender, "8613%09u", static_cast<unsigned>(run++ % 1000000000u));
    std::string pdu = "00040D91";
    for (size_t i = 0; i < 14; i += 2) {  // 13 digits, semi-octets swapped, F filling the last
        pdu += i + 1 < 13 ? sender[i + 1] : 'F';
        pdu += sender[i];
    }
    pdu += "000432116021430523";
    char hex[3];
    std::snprintf(hex, sizeof hex, "%02X", static_cast<unsigned>(text.size()));
    pdu += hex;
    for (unsigned char c : text) {
        std::snprintf(hex, sizeof hex, "%02X", c);
        pdu += hex;
    }
    return "\r\n+CMGL: 1,0,," + std::to_string(pdu.size() / 2 - 1) + "\r\n" + pdu + "\r\n\r\nOK\r\n";
}

// The station's host reads register 0 (of site 0 at the centre): a poll that
// lists the text as the one message stored.
template <class Station>
void ReadWithMessage(fuzz::StationRig<Station>& rig, const std::string& text, int32_t* own) {
    rig.NextRun();
    rig.listing = ListingOf(text);
    RegisterRequest request{};
    request.typeIndex = kTypeM;
    request.dataType = kDataInt;
    RegisterValue value{};
    rig.station.Read(own, &request, &value);
}

// Every register starts with a value of its own, so that a stray write shows.
void Mark(std::array<ImageEntry, kSiteRegisters>& entries, uint32_t site) {
    for (size_t i = 0; i < entries.size(); ++i) entries[i].value = (site * kSiteRegisters + i) * 2654435761u;
}

void CheckRemote(int32_t own, const std::string& text, const ReadFrame& command) {
    static auto* rig = new fuzz::StationRig<RemoteStation>();
    static auto* expected = new std::array<ImageEntry, kSiteRegisters>();
    static const bool marked = (Mark(rig->station.image, 0), *expected = rig->station.image, true);
    (void)marked;
    RemoteStation& station = rig->station;
    const SiteNumbers numbers = station.numbers;
    ReadWithMessage(*rig, text, &own);

    (*expected)[0].lastPollTick = station.image[0].lastPollTick;
    if (command.isFrame && IsSiteNumber(own) && command.site == own && IsSiteAddress(command.address)) {
        (*expected)[static_cast<size_t>(command.address)].value = command.values[0];
    }
    FUZZ_CHECK(BytesEqual(station.image.data(), expected->data(), sizeof station.image),
               "a site's registers change only as a write command for its own site names them");
    FUZZ_CHECK(BytesEqual(&station.numbers, &numbers, sizeof numbers) && station.comFlag == 0,
               "a frame changes no number and no switch");
}

void CheckCentral(const std::string& text, const ReadFrame& report) {
    static auto* rig = new fuzz::StationRig<CentralStation>();
    using Image = std::array<std::array<ImageEntry, kSiteRegisters>, kSiteCount>;
    static auto* expected = new Image();
    static const bool marked = [] {
        for (uint32_t site = 0; site < kSiteCount; ++site) Mark(rig->station.image[site], site);
        *expected = rig->station.image;
        return true;
    }();
    (void)marked;
    CentralStation& station = rig->station;
    const auto numbers = station.numbers;
    ReadWithMessage(*rig, text, nullptr);

    (*expected)[0][0].lastPollTick = station.image[0][0].lastPollTick;
    if (report.isFrame && IsSiteNumber(report.site) && report.address >= 0 &&
        report.address + kGroupSize <= kSiteRegisters) {
        for (int i = 0; i < kGroupSize; ++i) {
            (*expected)[static_cast<size_t>(report.site)][static_cast<size_t>(report.address + i)].value =
                report.values[i];
        }
    }
    FUZZ_CHECK(BytesEqual(station.image.data(), expected->data(), sizeof station.image),
               "the centre's registers change only as a report of a site 0 to 31 names them, all inside the image");
    FUZZ_CHECK(BytesEqual(station.numbers.data(), numbers.data(), sizeof numbers), "a frame changes no number");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const int32_t own = static_cast<int32_t>(data[0] % 36) - 2;
    const char* begin = reinterpret_cast<const char*>(data + 1);
    const std::string text(begin, strnlen(begin, std::min(size - 1, kMaxText)));

    const ReadFrame command = ReadWithCLibrary(text, "WM", kWriteCommandLength, 1);
    const ReadFrame report = ReadWithCLibrary(text, "RM", kReportLength, kGroupSize);
    CheckParsers(text, command, report);
    // A station costs five times the parse. A text of a write command's
    // length always goes through the site's station, one of a report's
    // length through the centre's; of the others, which the parsers refuse by
    // their length alone, one in eight goes through both, to show that they
    // change nothing.
    const bool sampled = size % 8 == 0;
    if (text.size() == kWriteCommandLength || sampled) CheckRemote(own, text, command);
    if (text.size() == kReportLength || sampled) CheckCentral(text, report);
    return 0;
}
