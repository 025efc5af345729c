// GsmModem: the AT dialogue (see the header). The line steps are
// LineTransaction's: every pause goes through the line's clock, every wait is
// bounded by the line's reply time-out, and a response never grows past
// kMaxResponseBytes.
#include "modem/gsm_modem.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "modem/final_result.h"
#include "modem/listing_scan.h"
#include "modem/send_checks.h"
#include "modem/send_event.h"
#include "modem/pdu_codecs.h"
#include "modem/submit_pdu.h"

namespace kelvora {

const char kDefaultServiceCentre[] = "+8613800100500";
const char kFinalResult[] = "\r\nOK\r\n";
const char kPrompt[] = ">";

namespace {
constexpr char kCtrlZ = 0x1A;
constexpr char kMessageReference[] = "+CMGS:";

// The <mr> of "+CMGS: <mr>" in an answer, or -1 when there is none before
// the final result: what a read brought after the OK answers something else.
int32_t MessageReference(const std::string& answer) {
    const size_t at = answer.find(kMessageReference);
    if (at == std::string::npos || at > answer.find(kFinalResult)) return -1;
    size_t i = at + sizeof kMessageReference - 1;
    while (i < answer.size() && answer[i] == ' ') ++i;
    int32_t value = -1;
    while (i < answer.size() && answer[i] >= '0' && answer[i] <= '9' && value < 1000000) {
        value = (value < 0 ? 0 : value * 10) + (answer[i++] - '0');
    }
    return value;
}

SendOutcome SendOutcomeOf(const ExchangeResult& exchange) {
    switch (exchange.outcome) {
        case ExchangeOutcome::kRefused: return SendOutcome::kRefused;
        case ExchangeOutcome::kPortFailed: return SendOutcome::kPortFailed;
        case ExchangeOutcome::kNoAnswer: return SendOutcome::kNoAnswer;
        case ExchangeOutcome::kAnswered: return SendOutcome::kAccepted;
    }
    return SendOutcome::kNoAnswer;
}

constexpr char kNotEncodable[] =
    "the record cannot be encoded (a number not digits, or a text that does not fit one message)";

// Hands the outcome to the caller, and to the trace when it is on.
bool Report(const Trace& trace, const SmsRecord* record, SendResult* result, SendOutcome outcome,
            int32_t errorNumber = -1, int32_t reference = -1) {
    if (result != nullptr) *result = SendResult{outcome, errorNumber, reference};
    if (trace.on()) {
        std::string subject = "send";
        if (record != nullptr) {
            subject += " " + Printable(FieldText(record->text, sizeof record->text)) + " to " +
                       FieldText(record->peerNumber, sizeof record->peerNumber) + " via " +
                       FieldText(record->serviceCentre, sizeof record->serviceCentre);
        }
        trace.Emit(SendEvent(outcome, subject, outcome == SendOutcome::kNotSent ? kNotEncodable : "", errorNumber,
                             reference));
    }
    return outcome == SendOutcome::kAccepted;
}

// SendSms refused what it was given: nothing was written.
bool NotSent(const Trace& trace, const char* destination, const char* text, SendRefusal why,
             SendResult* result) {
    if (result != nullptr) *result = SendResult{SendOutcome::kNotSent, -1, -1, why};
    if (trace.on()) {
        const std::string to = destination != nullptr ? Printable(destination, std::strlen(destination)) : "none";
        const std::string what = text != nullptr ? Printable(text, std::strlen(text)) : "none";
        trace.Emit(SendEvent(SendOutcome::kNotSent, "send " + what + " to " + to, RefusalText(why)));
    }
    return false;
}

}  // namespace

bool GsmModem::ExchangeUntil(std::string& buffer, uint32_t& length, const char* terminator, ExchangeResult* result) {
    ExchangeResult local;
    ExchangeResult& r = result != nullptr ? *result : local;
    r = ExchangeResult{};
    const SerialLine serial = Line();
    Clock& clock = *serial.clock;
    const uint32_t timeout = serial.timeoutMs;
    LineTransaction line(serial);

    std::string stale;
    const bool setAsideOk = line.SetAsideWaiting(stale, timeout);
    r.setAside = static_cast<uint32_t>(stale.size());
    const Trace& trace = serial.TraceOrOff();
    if (trace.on() && !stale.empty()) trace.Emit("set aside before the next command: " + Printable(stale));

    const uint32_t writeStart = clock.TickCount();
    const uint32_t toSend = static_cast<uint32_t>(std::min<size_t>(length, buffer.size()));
    const std::string written = trace.on() ? buffer.substr(0, toSend) : std::string();
    if (!setAsideOk || !line.Send(buffer.data(), toSend, kLineWriteTimeoutMs)) {
        buffer.clear();
        length = 0;
        r.outcome = ExchangeOutcome::kPortFailed;
        if (trace.on()) {
            trace.Emit(OutcomeEvent(r.outcome, "wrote " + Printable(written) + ": port failure, the write did not go out"));
        }
        return false;  // RTS stays raised, as the line driver's owner expects
    }

    r.written = true;
    // The time-out counts from the write: silence ends the exchange after
    // about T in all, while bytes that keep coming hold it open.
    const uint32_t start = clock.TickCount();
    line.AwaitFirstByte(timeout);
    buffer.clear();
    FinalResultWatch watch(terminator, extraResults_);
    CollectRules rules;
    rules.sizing = ReadSizing::kWaiting;
    rules.quietAfterMs = timeout;
    rules.start = start;
    const CollectEnd end = line.Collect(buffer, rules, [&watch](const std::string& response, size_t) {
        return watch.Look(response) != FinalResultWatch::Seen::kNothing;
    });
    length = static_cast<uint32_t>(buffer.size());
    r.received = length;
    r.elapsedMs = static_cast<uint32_t>(clock.TickCount() - writeStart);
    if (end == CollectEnd::kReadFailed) {
        r.outcome = ExchangeOutcome::kPortFailed;
    } else if (watch.seen() == FinalResultWatch::Seen::kTerminator) {
        r.outcome = ExchangeOutcome::kAnswered;
    } else if (watch.seen() == FinalResultWatch::Seen::kError) {
        r.outcome = ExchangeOutcome::kRefused;
        r.errorNumber = watch.errorNumber();
    } else {
        r.outcome = ExchangeOutcome::kNoAnswer;
    }
    r.endedBy = watch.row();
    if (trace.on()) {
        std::string event = "wrote " + Printable(written) + ", received " + Printable(buffer) + ": " +
                            OutcomeText(r.outcome);
        if (r.errorNumber >= 0) event += " (error " + std::to_string(r.errorNumber) + ")";
        trace.Emit(OutcomeEvent(r.outcome, event + " after " + std::to_string(r.elapsedMs) + " ms"));
    }
    return end != CollectEnd::kReadFailed;  // after a failed read the bytes so far stay in buffer
}

bool GsmModem::SendPdu(const SmsRecord& record, SendResult* result) {
    char pdu[kSubmitPduCapacity + 1];
    const int n = EncodeSubmitPdu(record, pdu);
    if (n == 0) return Report(Line().TraceOrOff(), &record, result, SendOutcome::kNotSent);  // does not fit one message

    uint8_t serviceCentreLength = 0;
    HexToBytes(pdu, 2, &serviceCentreLength);
    const int announced = n / 2 - (serviceCentreLength + 1);

    char command[32];
    std::snprintf(command, sizeof command, "AT+CMGS=%d\r", announced);
    std::string buffer(command);
    uint32_t length = static_cast<uint32_t>(buffer.size());
    ExchangeResult exchange;
    ExchangeUntil(buffer, length, kPrompt, &exchange);
    // An error instead of the prompt: the modem is back at its command line
    // and would take the PDU for a command. Without either, the PDU goes out
    // all the same: the prompt may have been lost on the line.
    if (exchange.outcome == ExchangeOutcome::kRefused || exchange.outcome == ExchangeOutcome::kPortFailed) {
        return Report(Line().TraceOrOff(), &record, result, SendOutcomeOf(exchange), exchange.errorNumber);
    }

    buffer.assign(pdu, static_cast<size_t>(n));
    buffer.push_back(kCtrlZ);
    length = static_cast<uint32_t>(buffer.size());
    ExchangeUntil(buffer, length, kFinalResult, &exchange);
    if (exchange.outcome == ExchangeOutcome::kPortFailed && exchange.written) {
        // The modem has the whole message: whether it went out is unknown.
        return Report(Line().TraceOrOff(), &record, result, SendOutcome::kCutOff);
    }
    if (exchange.outcome != ExchangeOutcome::kAnswered) {
        return Report(Line().TraceOrOff(), &record, result, SendOutcomeOf(exchange), exchange.errorNumber);
    }
    const int32_t reference = MessageReference(buffer);
    // OK without a message reference confirms nothing.
    return Report(Line().TraceOrOff(), &record, result, reference >= 0 ? SendOutcome::kAccepted : SendOutcome::kRefused, -1,
                  reference);
}

bool GsmModem::SendSms(const char* serviceCentre, const char* destination, const char* text, SendResult* result,
                       SmsCoding coding) {
    if (serviceCentre == nullptr || serviceCentre[0] == '\0') serviceCentre = kDefaultServiceCentre;
    SmsRecord record;
    std::memset(&record, 0, sizeof record);
    SendRefusal why = CheckDestination(destination, record.peerNumber);
    if (why == SendRefusal::kNone) why = coding == SmsCoding::kSevenBit ? CheckSevenBitText(text) : CheckMessageText(text);
    if (why == SendRefusal::kNone) why = InternationalDigits(serviceCentre, record.serviceCentre);
    if (why != SendRefusal::kNone) return NotSent(Line().TraceOrOff(), destination, text, why, result);
    std::memcpy(record.text, text, std::strlen(text));
    record.protocolId = 0;
    record.codingScheme = coding == SmsCoding::kSevenBit ? 0 : 8;
    return SendPdu(record, result);
}

bool GsmModem::RefuseSend(const char* destination, const char* text, SendRefusal why, SendResult* result) {
    return NotSent(Line().TraceOrOff(), destination, text, why, result);
}

int GsmModem::ListMessages(SmsRecord* records, size_t capacity, ListFilter filter, ExchangeResult* result,
                           int32_t* statuses) {
    std::string buffer(filter == ListFilter::kReceivedRead ? "AT+CMGL=1\r"
                       : filter == ListFilter::kAll        ? "AT+CMGL=4\r"
                                                           : "AT+CMGL\r");
    uint32_t length = static_cast<uint32_t>(buffer.size());
    ExchangeUntil(buffer, length, kFinalResult, result);  // whatever came is scanned
    const size_t size = std::min<size_t>(length, buffer.size());
    if (size == 0) return 0;
    return ScanListing(buffer.data(), size, records, std::min(capacity, kMaxListedRecords), statuses);
}

bool GsmModem::DeleteMessage(int32_t index, ExchangeResult* result) {
    char command[32];
    std::snprintf(command, sizeof command, "AT+CMGD=%d\r", static_cast<int>(index));
    std::string buffer(command);
    uint32_t length = static_cast<uint32_t>(buffer.size());
    ExchangeResult local;
    ExchangeResult& r = result != nullptr ? *result : local;
    ExchangeUntil(buffer, length, kFinalResult, &r);
    return r.outcome == ExchangeOutcome::kAnswered;
}

}  // namespace kelvora
