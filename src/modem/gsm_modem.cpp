// GsmModem: the AT dialogue (see the header). Every pause goes through the
// driver's clock, every wait is bounded by the driver's effective time-out,
// and a response never grows past kMaxResponseBytes.
#include "modem/gsm_modem.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "modem/listing_scan.h"
#include "modem/pdu_codecs.h"
#include "modem/submit_pdu.h"
#include "platform/code_page.h"

namespace kelvora {

const char kDefaultServiceCentre[] = "+8613800100500";

namespace {

constexpr uint32_t kWriteTimeoutMs = 2000;
constexpr uint32_t kPollMs = 10;
constexpr uint32_t kRtsHoldMs = 5;
// A read asks for everything waiting, up to this much; with nothing waiting it
// asks for a small piece, which the port's read window (about 30 ms) bounds.
constexpr uint32_t kCollectChunkBytes = 4096;
constexpr uint32_t kIdleReadBytes = 10;

constexpr char kFinalResult[] = "\r\nOK\r\n";
constexpr char kPrompt[] = ">";
constexpr char kCtrlZ = 0x1A;

// SendSms limits: a destination has at least 11 characters as given; the text
// is 1 to 69 UTF-16 code units (70 with its NUL).
constexpr size_t kMinDestinationLength = 11;
constexpr int kMinTextUnitsWithNul = 2;
constexpr int kMaxTextUnitsWithNul = 70;
constexpr size_t kTextConversionUnits = 1024;
constexpr size_t kMaxNumberLength = kNumberFieldSize - 1;

bool UsesRts(int32_t lineType) { return lineType == 1 || lineType == 2; }

// A number as the PDU carries it: no "+", country code 86 first. false when
// the result would not fit its field (a cut number would reach a stranger).
bool NormaliseNumber(const char* number, char* field) {
    if (number[0] == '+') ++number;
    const bool hasCountryCode = number[0] == '8' && number[1] == '6';
    const size_t length = std::strlen(number) + (hasCountryCode ? 0 : 2);
    if (length > kMaxNumberLength) return false;
    std::snprintf(field, kNumberFieldSize, "%s%s", hasCountryCode ? "" : "86", number);
    return true;
}

}  // namespace

bool GsmModem::ExchangeUntil(std::string& buffer, uint32_t& length, const char* terminator) {
    if (!driver_.port) {  // no port object: nothing can be written
        buffer.clear();
        length = 0;
        driver_.status.SetCode(kStatusWriteError);
        return false;
    }
    SerialPort& port = *driver_.port;
    Clock& clock = driver_.clock();
    const bool rts = UsesRts(driver_.lineType);

    if (rts) port.SetRts(true);
    const uint32_t toSend = static_cast<uint32_t>(std::min<size_t>(length, buffer.size()));
    if (port.Write(buffer.data(), toSend, nullptr, nullptr, kWriteTimeoutMs) != 0) {
        buffer.clear();
        length = 0;
        driver_.status.SetCode(kStatusWriteError);
        return false;  // RTS stays raised, as the line driver's owner expects
    }
    if (rts) {
        driver_.BusyWait(kRtsHoldMs);
        port.SetRts(false);
    }

    const uint32_t timeout = driver_.EffectiveTimeoutMs();
    const uint32_t start = clock.TickCount();
    uint32_t waiting = 0;
    for (uint32_t poll = 0; poll <= timeout / kPollMs; ++poll) {
        clock.Sleep(kPollMs);
        if (port.GetInputQueueCount(&waiting) != 0) waiting = 0;
        if (waiting != 0) break;
    }

    buffer.clear();
    length = 0;
    const size_t terminatorLength = std::strlen(terminator);
    char chunk[kCollectChunkBytes];
    while (buffer.size() < kMaxResponseBytes) {
        clock.Sleep(kPollMs);
        if (port.GetInputQueueCount(&waiting) != 0) waiting = 0;
        uint32_t want = waiting != 0 ? std::min(waiting, kCollectChunkBytes) : kIdleReadBytes;
        want = static_cast<uint32_t>(std::min<size_t>(want, kMaxResponseBytes - buffer.size()));
        uint32_t got = 0;
        if (port.Read(chunk, want, &got, nullptr, kWaitForever) != 0) {
            driver_.status.SetCode(kStatusReadError);
            return false;  // the bytes so far stay in buffer, counted by length
        }
        if (got > want) got = want;  // a port never delivers more than asked
        if (got != 0) {
            // Only the new bytes and the few before them can complete the terminator.
            const size_t from =
                terminatorLength != 0 && buffer.size() >= terminatorLength ? buffer.size() - (terminatorLength - 1) : 0;
            buffer.append(chunk, got);
            length += got;
            if (buffer.find(terminator, from, terminatorLength) != std::string::npos) break;
            continue;  // bytes are flowing: the clock is not looked at
        }
        if (static_cast<uint32_t>(clock.TickCount() - start) >= timeout) break;
    }

    driver_.status.SetCode(kStatusOk);
    return true;
}

bool GsmModem::SendPdu(const SmsRecord& record) {
    char pdu[kSubmitPduCapacity + 1];
    const int n = EncodeSubmitPdu(record, pdu);
    if (n == 0) return false;  // does not fit one message: nothing is sent

    uint8_t serviceCentreLength = 0;
    HexToBytes(pdu, 2, &serviceCentreLength);
    const int announced = n / 2 - (serviceCentreLength + 1);

    char command[32];
    std::snprintf(command, sizeof command, "AT+CMGS=%d\r", announced);
    std::string buffer(command);
    uint32_t length = static_cast<uint32_t>(buffer.size());
    ExchangeUntil(buffer, length, kPrompt);  // the PDU goes out even without the prompt

    buffer.assign(pdu, static_cast<size_t>(n));
    buffer.push_back(kCtrlZ);
    length = static_cast<uint32_t>(buffer.size());
    ExchangeUntil(buffer, length, kFinalResult);
    return true;
}

bool GsmModem::SendSms(const char* serviceCentre, const char* destination, const char* text) {
    if (serviceCentre == nullptr || serviceCentre[0] == '\0') serviceCentre = kDefaultServiceCentre;
    if (destination == nullptr || text == nullptr) return false;
    if (std::strlen(destination) < kMinDestinationLength) return false;

    const size_t textBytes = std::strlen(text);
    if (textBytes > kTextFieldSize - 1) return false;
    uint16_t units[kTextConversionUnits];
    const int unitCount = AnsiToUtf16(text, textBytes + 1, units, kTextConversionUnits);
    if (unitCount < kMinTextUnitsWithNul || unitCount > kMaxTextUnitsWithNul) return false;

    SmsRecord record;
    std::memset(&record, 0, sizeof record);
    if (!NormaliseNumber(serviceCentre, record.serviceCentre)) return false;
    if (!NormaliseNumber(destination, record.peerNumber)) return false;
    std::memcpy(record.text, text, textBytes);
    record.protocolId = 0;
    record.codingScheme = 8;
    return SendPdu(record);
}

int GsmModem::ListMessages(SmsRecord* records) {
    std::string buffer("AT+CMGL\r");
    uint32_t length = static_cast<uint32_t>(buffer.size());
    ExchangeUntil(buffer, length, kFinalResult);  // whatever came is scanned
    const size_t size = std::min<size_t>(length, buffer.size());
    if (size == 0) return 0;
    return ScanListing(buffer.data(), size, records, kMaxListedRecords);
}

bool GsmModem::DeleteMessage(int32_t index) {
    char command[32];
    std::snprintf(command, sizeof command, "AT+CMGD=%d\r", static_cast<int>(index));
    std::string buffer(command);
    uint32_t length = static_cast<uint32_t>(buffer.size());
    ExchangeUntil(buffer, length, kFinalResult);
    return true;
}

}  // namespace kelvora
