// GsmModem: the AT dialogue with the GSM modem on a serial line, and SMS in
// PDU mode: sending SMS-SUBMIT, listing and decoding SMS-DELIVER, deleting.
// It keeps no state: every operation works on a SerialLine (port, clock, line
// type, reply time-out, trace, keeper), a station's or a tool's own. Each
// operation tells its caller how it ended (the outcome, the final result
// line's row and error number); what that means to a host, its status code
// included, is the stations' matter.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "driver/line_transaction.h"
#include "driver/serial_line.h"
#include "modem/exchange_result.h"
#include "modem/final_result.h"
#include "modem/send_result.h"
#include "modem/sms_record.h"

namespace kelvora {

// The default service-centre number: "+", then 13 digits beginning with 86.
extern const char kDefaultServiceCentre[];
// The final result that ends a response ("\r\nOK\r\n"), and the prompt for a
// message's PDU (">"): the terminators of the dialogue.
extern const char kFinalResult[];
extern const char kPrompt[];

// Which received messages a listing asks for. A modem marks every unread
// message it lists as read, so what a poll could not take is found among the
// read ones afterwards.
enum class ListFilter : uint8_t {
    kReceivedUnread,  // "AT+CMGL\r": the modem's default status
    kReceivedRead,    // "AT+CMGL=1\r"
    kAll,             // "AT+CMGL=4\r": sent and unsent ones too
};

class GsmModem {
public:
    // A modem on a line: a station's as it is now, or a tool's own.
    // extraResults: final results beyond the driver's own
    // (FinalResultWatch), which end every exchange.
    explicit GsmModem(const SerialLine& line, const FinalResultRows& extraResults = FinalResultRows())
        : line_(line), extraResults_(extraResults) {}

    // Sets aside what already waits on the line, writes length bytes of
    // buffer, then collects the answer into buffer until it holds terminator
    // or a final error result ("ERROR", "+CMS ERROR: <n>", "+CME ERROR: <n>"),
    // (or one of the extra results), or a read brings nothing once the reply
    // time-out has passed. false only when the write or a read failed (a
    // port failure; result.written tells which); result says which end it
    // came to. A line without a port fails as a port failure.
    bool ExchangeUntil(std::string& buffer, uint32_t& length, const char* terminator,
                       ExchangeResult* result = nullptr);

    // true only when the modem accepted the message ("+CMGS: <mr>", OK). After
    // an error instead of the prompt the PDU is not written.
    bool SendPdu(const SmsRecord& record, SendResult* result = nullptr);
    // false when a number or the text is refused (nothing is sent then), or
    // when SendPdu fails.
    // coding: UCS2, or 7-bit for a text of the characters the default
    // alphabet shares with ASCII.
    bool SendSms(const char* serviceCentre, const char* destination, const char* text, SendResult* result = nullptr,
                 SmsCoding coding = SmsCoding::kUcs2);
    // A message its caller refuses before sending, for a reason of its own
    // (a free text that reads as a frame): told to the result and the trace
    // as SendSms tells its own refusals. Always false.
    bool RefuseSend(const char* destination, const char* text, SendRefusal why, SendResult* result = nullptr);

    // Lists stored messages into records (room for capacity, at most
    // kMaxListedRecords) and returns how many were filled; only whole entries
    // count, whatever end the exchange came to.
    // statuses (room for capacity): each entry's <stat>, as ScanListing gives it.
    int ListMessages(SmsRecord* records, size_t capacity = kMaxListedRecords,
                     ListFilter filter = ListFilter::kReceivedUnread, ExchangeResult* result = nullptr,
                     int32_t* statuses = nullptr);
    // true only when the modem answered OK.
    bool DeleteMessage(int32_t index, ExchangeResult* result = nullptr);

private:
    const SerialLine& Line() const { return line_; }

    SerialLine line_;
    FinalResultRows extraResults_;
};

}  // namespace kelvora
