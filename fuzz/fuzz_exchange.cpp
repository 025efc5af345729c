// libFuzzer target: the modem exchanges as the stations run them, against a
// modem whose every byte comes from the fuzzer, in pieces and with pauses on
// the fake clock, through the scripted port (see support/modem_script.h). A
// remote station reads a register (a poll: listings, deletes, and with
// COMFLAG a report); a central station reads one (a poll) and writes one
// (a write command sent). Whatever the modem says:
// - time is bounded: between two commands, or from the last command to the
//   end, no more than the station's pauses, two time-outs, the time the
//   modem's own bytes keep coming and 10 ms for each read that brought bytes;
// - memory is bounded: no more than a response and a set-aside of 256 KiB
//   each are read between two commands;
// - the driver writes only its own commands, a PDU only after "AT+CMGS=";
// - only whole entries count: every index deleted is that of an entry whose
//   header line and PDU line both ended within what a listing read;
// - an index is deleted at most once a poll, however often it was listed;
// - a central write succeeds only when the modem answered its PDU with
//   "+CMGS:" and then OK, leaves status 0, 6 or 7, and changes the image
//   only then;
// and AddressSanitizer sees no read past a buffer.
//
// Input: byte 0 picks the station (bit 0: central), whether it sends (bit
// 1: a report, or a write), and the time-out (bits 2 to 4); the modem's
// script follows.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <set>
#include <string>
#include <string_view>

#include "driver/line_transaction.h"
#include "stations/central_station.h"
#include "stations/remote_station.h"
#include "stations/station_registers.h"
#include "support/fuzz_check.h"
#include "support/modem_script.h"
#include "support/station_rig.h"

namespace {

using namespace kelvora;
using fuzz::ScriptedModem;

constexpr uint32_t kTimeouts[] = {0, 10, 20, 50, 100, 200, 400, 1000};
constexpr uint32_t kReadPollMs = 10;
// The longest pause a station takes between two commands (before a send).
constexpr uint32_t kPauseAllowanceMs = kModemPauseMs + 50;
constexpr int32_t kOwnSite = 5;

bool StartsWith(const std::string& s, const char* prefix) { return s.rfind(prefix, 0) == 0; }

// prefix, a decimal number, a carriage return.
bool IsNumberCommand(const std::string& s, const std::string& prefix) {
    if (!StartsWith(s, prefix.c_str()) || s.size() < prefix.size() + 2 || s.back() != '\r') return false;
    const std::string number = s.substr(prefix.size(), s.size() - 1 - prefix.size());
    return number.find_first_not_of("-0123456789") == std::string::npos;
}

bool IsPdu(const std::string& s) {
    return s.size() >= 2 && s.back() == '\x1A' && s.find_first_not_of("0123456789ABCDEF") == s.size() - 1;
}

// The index after "+CMGL:" as "%d" reads it, on the header line alone.
bool ReadIndex(std::string_view header, int32_t* index) {
    size_t i = 0;
    while (i < header.size() && (header[i] == ' ' || header[i] == '\t')) ++i;
    const bool negative = i < header.size() && header[i] == '-';
    if (i < header.size() && (header[i] == '-' || header[i] == '+')) ++i;
    int64_t value = 0;
    const size_t digits = i;
    while (i < header.size() && header[i] >= '0' && header[i] <= '9' && value <= INT32_MAX) {
        value = value * 10 + (header[i++] - '0');
    }
    if (i == digits || value > INT32_MAX + int64_t{negative}) return false;
    *index = static_cast<int32_t>(negative ? -value : value);
    return true;
}

// The indices of the entries whose header line and PDU line both ended:
// line by line, so that a babbling modem costs linear time.
std::multiset<int32_t> WholeEntries(std::string_view response) {
    std::multiset<int32_t> indices;
    size_t lineStart = 0;
    size_t lineEnd = response.find("\r\n");
    while (lineEnd != std::string_view::npos) {
        const size_t nextEnd = response.find("\r\n", lineEnd + 2);
        if (nextEnd == std::string_view::npos) break;
        const std::string_view line = response.substr(lineStart, lineEnd - lineStart);
        const bool pduLine = nextEnd > lineEnd + 2;
        for (size_t at = line.find("+CMGL:"); pduLine && at != std::string_view::npos; at = line.find("+CMGL:", at + 1)) {
            int32_t index = 0;
            if (ReadIndex(line.substr(at + 6), &index)) indices.insert(index);
        }
        lineStart = lineEnd + 2;
        lineEnd = nextEnd;
    }
    return indices;
}

// The longest a station may take from `from` to `until`: its pause, the
// time-outs, the time the modem's bytes keep coming after `from`, and 10 ms
// for each of the reads that brought bytes.
bool WithinTime(const ScriptedModem& modem, uint32_t from, uint32_t until, uint32_t timeouts, uint32_t reads) {
    const uint32_t flowing = modem.lastArrival > from ? modem.lastArrival - from : 0;
    return until - from <= flowing + timeouts + kPauseAllowanceMs + kReadPollMs * reads;
}

void CheckCommands(const ScriptedModem& modem, uint32_t start, uint32_t end, uint32_t timeout) {
    const auto& commands = modem.commands;
    FUZZ_CHECK(!commands.empty() && WithinTime(modem, start, commands[0].tick, timeout, commands[0].readsBefore),
               "the first command within a pause, a time-out setting aside, and the modem's own bytes");
    std::multiset<int32_t> listed;
    std::set<int32_t> deleted;
    for (size_t k = 0; k < commands.size(); ++k) {
        const fuzz::WrittenCommand& c = commands[k];
        const bool last = k + 1 == commands.size();
        const size_t receivedAfter = last ? modem.received.size() : commands[k + 1].receivedBefore;
        const uint32_t readsAfter = last ? modem.readsWithBytes : commands[k + 1].readsBefore;
        FUZZ_CHECK(WithinTime(modem, c.tick, last ? end : commands[k + 1].tick, 2 * timeout, readsAfter - c.readsBefore),
                   "no exchange longer than a pause, two time-outs, the modem's own bytes and the reads");
        FUZZ_CHECK(receivedAfter - c.receivedBefore <= 2 * kMaxResponseBytes,
                   "no more than a response and a set-aside read between two commands");

        const std::string& bytes = c.bytes;
        FUZZ_CHECK(k > 0 || StartsWith(bytes, "AT+CMGL"), "a poll begins with a listing");
        FUZZ_CHECK(bytes == "AT+CMGL\r" || bytes == "AT+CMGL=1\r" || IsNumberCommand(bytes, "AT+CMGD=") ||
                       IsNumberCommand(bytes, "AT+CMGS=") ||
                       (IsPdu(bytes) && k > 0 && StartsWith(commands[k - 1].bytes, "AT+CMGS=")),
                   "the driver writes only its own commands, and a PDU only after AT+CMGS");
        if (StartsWith(bytes, "AT+CMGL")) {
            const std::multiset<int32_t> whole =
                WholeEntries(std::string_view(modem.received).substr(c.receivedBefore, receivedAfter - c.receivedBefore));
            listed.insert(whole.begin(), whole.end());
        } else if (StartsWith(bytes, "AT+CMGD=")) {
            const auto entry = listed.find(static_cast<int32_t>(std::strtol(bytes.c_str() + 8, nullptr, 10)));
            FUZZ_CHECK(entry != listed.end(), "only whole entries are deleted, each once");
            FUZZ_CHECK(deleted.insert(*entry).second, "an index is deleted at most once a poll");
            listed.erase(entry);
        }
    }
}

// Whether the modem's answer to the last PDU written holds "+CMGS:" before
// its final OK (what follows the OK answers something else).
bool AcceptedByModem(const ScriptedModem& modem) {
    for (size_t k = modem.commands.size(); k-- > 0;) {
        if (!IsPdu(modem.commands[k].bytes)) continue;
        const std::string_view answer = std::string_view(modem.received).substr(modem.commands[k].receivedBefore);
        return answer.find("+CMGS:") < answer.find("\r\nOK\r\n");
    }
    return false;
}

// Register 0 (of site 0 at the centre), as an integer.
RegisterRequest FirstRegister() {
    RegisterRequest request{};
    request.typeIndex = kTypeM;
    request.dataType = kDataInt;
    return request;
}

// A fresh station on the scripted modem, with the run's time-out.
template <class Station>
void Connect(fuzz::FreshStation<Station>& station, testing::FakeClock& clock, std::unique_ptr<ScriptedModem> modem,
             uint32_t timeout) {
    station->SetClock(clock);
    station->SetPort(std::move(modem));
    station->timeoutMs = static_cast<int32_t>(timeout);
}

void SetText(char (&field)[kNumberTextSize], const char* text) { StoreNumberText(field, text, kNumberTextSize); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const bool central = (data[0] & 1) != 0;
    const bool sends = (data[0] & 2) != 0;
    const uint32_t timeout = kTimeouts[(data[0] >> 2) & 7];

    testing::FakeClock clock;
    auto owned = std::make_unique<ScriptedModem>(clock, fuzz::ParseScript(data + 1, size - 1));
    ScriptedModem& modem = *owned;  // owned by the station from here on
    const uint32_t start = clock.Now();
    RegisterRequest request = FirstRegister();
    RegisterValue value{};
    if (central) {
        fuzz::FreshStation<CentralStation> station;
        Connect(station, clock, std::move(owned), timeout);
        SetText(station->numbers[0].detc, "+8613900000005");
        FUZZ_CHECK(station->Read(nullptr, &request, &value) == 1, "a read always succeeds");
        if (sends) {
            const uint32_t before = station->image[0][0].value;
            value.intValue = static_cast<int32_t>(before + 1);
            const bool written = station->Write(nullptr, &request, &value) == 1;
            const uint32_t code = station->status.Code();
            FUZZ_CHECK(written == (code == kStatusOk) && (code == kStatusOk || code == kStatusWriteError ||
                                                          code == kStatusTimeout),
                       "a write succeeds with status 0, or fails with 6 or 7");
            FUZZ_CHECK(!written || AcceptedByModem(modem), "a write succeeds only when the modem accepted its PDU");
            FUZZ_CHECK(station->image[0][0].value == (written ? before + 1 : before),
                       "the image changes only with a write the modem accepted");
        }
        CheckCommands(modem, start, clock.Now(), timeout);
    } else {
        fuzz::FreshStation<RemoteStation> station;
        Connect(station, clock, std::move(owned), timeout);
        SetText(station->numbers.detc, "+8613900000001");
        station->comFlag = sends ? 1 : 0;
        int32_t own = kOwnSite;
        FUZZ_CHECK(station->Read(&own, &request, &value) == 1, "a read always succeeds");
        CheckCommands(modem, start, clock.Now(), timeout);
    }
    return 0;
}
