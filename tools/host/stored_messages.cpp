// Listing and describing the stored messages with the driver's own listing,
// PDU decoder and frame reader, so that the console sees a message as the
// stations will.
#include "stored_messages.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "console_text.h"
#include "driver_text.h"
#include "modem/gsm_modem.h"
#include "stations/signed_frame.h"
#include "stations/telemetry_frame.h"

namespace kelvora_host {
namespace {

constexpr uint8_t kTypeOfNumberInternational = 1;

// "24050114030732" (YYMMDDhhmmss and the zone in quarter hours) as a date.
std::string Timestamp(const char* digits) {
    if (std::strlen(digits) < 12) return "no time stamp";
    char text[40];
    std::snprintf(text, sizeof(text), "20%.2s-%.2s-%.2s %.2s:%.2s:%.2s", digits, digits + 2, digits + 4, digits + 6,
                  digits + 8, digits + 10);
    return text;
}

std::string Quoted(const std::string& utf8) {
    std::string out = "\"";
    for (char c : utf8) {
        if (c == '\r') {
            out += "\\r";
        } else if (c == '\n') {
            out += "\\n";
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::string FrameMeaning(const char* text) {
    kelvora::SignedFrame signedFrame;
    if (kelvora::SplitSignedFrame(text, &signedFrame) != kelvora::SignedShape::kNone) text = signedFrame.frame.c_str();
    kelvora::WriteCommand command{};
    kelvora::Report report{};
    char line[160];
    if (kelvora::ParseWriteCommand(text, &command)) {
        std::snprintf(line, sizeof(line), "Kelvora write command: site %d, M%d = %d", static_cast<int>(command.site),
                      static_cast<int>(command.address), static_cast<int>(command.value));
        return line;
    }
    if (kelvora::ParseReport(text, &report)) {
        std::snprintf(line, sizeof(line), "Kelvora report: site %d, M%d..M%d = %d %d %d %d %d",
                      static_cast<int>(report.site), static_cast<int>(report.firstAddress),
                      static_cast<int>(report.firstAddress + kelvora::kGroupSize - 1),
                      static_cast<int>(report.values[0]), static_cast<int>(report.values[1]),
                      static_cast<int>(report.values[2]), static_cast<int>(report.values[3]),
                      static_cast<int>(report.values[4]));
        return line;
    }
    return "not a Kelvora frame";
}

}  // namespace

std::vector<StoredMessage> ListStored(ModemLine& line, kelvora::ExchangeResult* result, uint32_t timeoutMs) {
    std::vector<kelvora::SmsRecord> records(kelvora::kMaxListedRecords);
    std::vector<int32_t> statuses(kelvora::kMaxListedRecords, -1);
    kelvora::ExchangeResult local;
    const int count = line.Modem(timeoutMs, "AT+CMGL=4").ListMessages(records.data(), records.size(), kelvora::ListFilter::kAll,
                                                result != nullptr ? result : &local, statuses.data());
    std::vector<StoredMessage> messages;
    for (int i = 0; i < count; ++i) messages.push_back(StoredMessage{records[i], statuses[i]});
    return messages;
}

std::string DescribeStoredMessage(const StoredMessage& message) {
    char head[40];
    const kelvora::SmsRecord& record = message.record;
    std::snprintf(head, sizeof(head), "%4d  %-7s", static_cast<int>(record.index), kelvora::StatName(message.status));
    if (message.status == 2 || message.status == 3) return head + std::string("an outgoing message (not decoded)");
    const std::string sender(record.peerNumber, strnlen(record.peerNumber, sizeof(record.peerNumber)));
    const bool international = record.PeerTypeOfNumber() == kTypeOfNumberInternational;
    const std::string text = DriverTextToUtf8(record.text, sizeof(record.text));
    return head + std::string("from ") + (international ? "+" : "") + sender + "  " +
           Timestamp(record.timestamp) + "  " + Quoted(text) + "  " + FrameMeaning(record.text);
}

}  // namespace kelvora_host
