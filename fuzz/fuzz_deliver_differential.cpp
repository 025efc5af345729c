// libFuzzer target: the modem simulator's SMS-DELIVER writer against the
// driver's decoder. A random message (any coding scheme, sender and service
// centre with their types of address, protocol identifier, time stamp and
// zone, with or without a user-data header) is written by the simulator and
// must come out of the driver's decoder as the record keeps it: numbers as
// their semi-octets read (at most 15), TP-PID, TP-DCS and the sender's type
// as written, the time stamp's octets swapped, and the whole user data
// (header included) as text of at most 160 bytes: raw septets for 7-bit
// (scheme 0), UCS2 through the code page (scheme 8), the octets as they are
// for every other scheme; a NUL ends the text.
#include <fuzzer/FuzzedDataProvider.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "modem/deliver_pdu.h"
#include "modemsim/modemsim.h"
#include "pdu_codec.h"
#include "platform/code_page.h"
#include "support/fuzz_check.h"
#include "text_coding.h"

namespace {

using kelvora::SmsRecord;

constexpr size_t kMaxNumberDigits = 15;
constexpr size_t kMaxTextBytes = 160;
constexpr size_t kMaxSeptets = 160;
constexpr size_t kMaxOctets = 140;

// What the simulator can write as semi-octets, and how the driver keeps them.
constexpr char kSemiOctets[] = "0123456789*#abc";
constexpr char kKeptAs[] = "0123456789ABCDE";

std::string Number(FuzzedDataProvider& in, size_t maxDigits) {
    std::string digits(in.ConsumeIntegralInRange<size_t>(0, maxDigits), '0');
    for (char& c : digits) c = kSemiOctets[in.ConsumeIntegralInRange<size_t>(0, sizeof kSemiOctets - 2)];
    return digits;
}

std::string AsKept(const std::string& digits) {
    std::string kept = digits.substr(0, kMaxNumberDigits);
    for (char& c : kept) c = kKeptAs[std::strchr(kSemiOctets, c) - kSemiOctets];
    return kept;
}

// A user-data header as phones write them: a concatenation element with an
// 8-bit or 16-bit reference, or any elements at all; its length octet first.
std::vector<uint8_t> Header(FuzzedDataProvider& in) {
    std::vector<uint8_t> header;
    switch (in.ConsumeIntegralInRange<int>(0, 2)) {
        case 0: header = {0x05, 0x00, 0x03}; break;
        case 1: header = {0x06, 0x08, 0x04, in.ConsumeIntegral<uint8_t>()}; break;
        default: header = {0}; break;
    }
    const size_t rest = header[0] != 0 ? header[0] + 1u - header.size() : in.ConsumeIntegralInRange<size_t>(0, 20);
    for (size_t i = 0; i < rest; ++i) header.push_back(in.ConsumeIntegral<uint8_t>());
    header[0] = static_cast<uint8_t>(header.size() - 1);
    return header;
}

// The user data in the simulator's alphabet for the coding scheme: septets
// packed after the header's fill bits, UCS2 of any code points, or octets.
void UserData(FuzzedDataProvider& in, modemsim::DeliverParts& parts) {
    std::vector<uint8_t>& data = parts.userData;
    if (parts.userDataHeader) data = Header(in);
    const size_t headerOctets = data.size();
    switch (modemsim::AlphabetOf(parts.dataCoding)) {
        case modemsim::Coding::Gsm7: {
            const size_t headerSeptets = (8 * headerOctets + 6) / 7;
            std::vector<uint8_t> septets(in.ConsumeIntegralInRange<size_t>(0, kMaxSeptets - headerSeptets));
            for (uint8_t& s : septets) s = in.ConsumeIntegralInRange<uint8_t>(0, 0x7F);
            const std::vector<uint8_t> packed =
                modemsim::PackSeptets(septets, static_cast<unsigned>(7 * headerSeptets - 8 * headerOctets));
            data.insert(data.end(), packed.begin(), packed.end());
            parts.userDataLength = static_cast<int>(headerSeptets + septets.size());
            return;
        }
        case modemsim::Coding::Ucs2: {
            std::vector<uint32_t> codePoints;
            size_t octets = headerOctets;
            while (in.remaining_bytes() > 0) {
                const uint32_t c = in.ConsumeIntegralInRange<uint32_t>(0, 0x10FFFF);
                octets += c >= 0x10000 ? 4 : 2;
                if (octets > kMaxOctets) break;
                codePoints.push_back(c);
            }
            const std::vector<uint8_t> units = modemsim::CodePointsToUcs2(codePoints);
            data.insert(data.end(), units.begin(), units.end());
            break;
        }
        case modemsim::Coding::EightBit: {
            const std::vector<uint8_t> octets = in.ConsumeBytes<uint8_t>(kMaxOctets - headerOctets);
            data.insert(data.end(), octets.begin(), octets.end());
            break;
        }
    }
    parts.userDataLength = static_cast<int>(data.size());
}

// The time zones a modem may stamp: east and west of Greenwich, in quarters.
const char* const kZones[] = {"UTC0", "CST-8", "NST3:30", "XXX-13:45", "YYY11", "ZZZ-5:45"};

std::string Cut(std::string text) {
    text.resize(strnlen(text.c_str(), std::min(text.size(), kMaxTextBytes)));
    return text;
}

// The text the record keeps of the user data, by the decided rules.
std::string KeptText(const modemsim::DeliverParts& parts) {
    const std::vector<uint8_t>& data = parts.userData;
    if (parts.dataCoding == 0x00) {
        const std::vector<uint8_t> septets =
            modemsim::UnpackSeptets(data, static_cast<size_t>(parts.userDataLength), 0);
        return Cut(std::string(septets.begin(), septets.end()));
    }
    if (parts.dataCoding == 0x08) {
        std::vector<uint16_t> units(data.size() / 2);
        for (size_t i = 0; i < units.size(); ++i) units[i] = static_cast<uint16_t>(data[2 * i] << 8 | data[2 * i + 1]);
        char text[kMaxTextBytes + 1];
        const int n = kelvora::Utf16ToAnsi(units.data(), units.size(), text, kMaxTextBytes);
        return Cut(std::string(text, n > 0 ? static_cast<size_t>(n) : 0));
    }
    return Cut(std::string(data.begin(), data.end()));
}

std::string TimestampAsKept(const modemsim::DeliverParts& parts) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string kept;
    for (uint8_t octet : modemsim::TimestampOctets(parts.time)) {
        kept += kHex[octet & 0x0F];
        kept += kHex[octet >> 4];
    }
    return kept;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    modemsim::DeliverParts parts;
    parts.serviceCentre.digits = Number(in, 20);
    parts.serviceCentre.type = in.ConsumeIntegral<uint8_t>();
    parts.originator.digits = Number(in, 20);
    parts.originator.type = in.ConsumeIntegral<uint8_t>();
    parts.protocolId = in.ConsumeIntegral<uint8_t>();
    parts.dataCoding = in.ConsumeIntegral<uint8_t>();
    setenv("TZ", kZones[in.ConsumeIntegralInRange<size_t>(0, std::size(kZones) - 1)], 1);
    tzset();
    // Any second of the years 2000 to 2099.
    parts.time = std::chrono::system_clock::from_time_t(in.ConsumeIntegralInRange<std::time_t>(946684800, 4102444799));
    parts.userDataHeader = in.ConsumeBool();
    UserData(in, parts);

    const std::string pdu = modemsim::BuildDeliver(parts);
    FUZZ_CHECK(modemsim::DecodePdu(pdu).ok, "the simulator reads what it wrote");

    SmsRecord record;
    std::memset(&record, 0x5A, sizeof record);
    kelvora::DecodeDeliverPdu(pdu.data(), pdu.size(), record);
    using kelvora::fuzz::Terminated;
    FUZZ_CHECK(Terminated(record.serviceCentre, sizeof record.serviceCentre) &&
                   Terminated(record.peerNumber, sizeof record.peerNumber) &&
                   Terminated(record.timestamp, sizeof record.timestamp) && Terminated(record.text, sizeof record.text),
               "every text field terminated within its width");
    FUZZ_CHECK(record.serviceCentre == AsKept(parts.serviceCentre.digits), "the service centre agrees");
    FUZZ_CHECK(record.peerNumber == AsKept(parts.originator.digits), "the sender agrees");
    FUZZ_CHECK(record.peerTypeOfAddress == parts.originator.type, "the sender's type of address agrees");
    FUZZ_CHECK(record.protocolId == parts.protocolId && record.codingScheme == parts.dataCoding,
               "the protocol identifier and the coding scheme agree");
    FUZZ_CHECK(record.timestamp == TimestampAsKept(parts), "the time stamp agrees");
    FUZZ_CHECK(record.text == KeptText(parts), "the text agrees");
    return 0;
}
