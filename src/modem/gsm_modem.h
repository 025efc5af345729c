// GsmModem: the AT dialogue with the GSM modem on a driver's serial port, and
// SMS in PDU mode: sending SMS-SUBMIT, listing and decoding SMS-DELIVER,
// deleting. It keeps no state: every operation works on the DriverBase's port,
// line type, reply time-out and status. Each operation can tell its caller
// what the modem answered; what that means to a host is the stations' matter.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "driver/driver_base.h"
#include "driver/line_transaction.h"
#include "modem/exchange_result.h"
#include "modem/send_result.h"
#include "modem/sms_record.h"

namespace kelvora {

// The default service-centre number: "+", then 13 digits beginning with 86.
extern const char kDefaultServiceCentre[];

// Which received messages a listing asks for. A modem marks every unread
// message it lists as read, so what a poll could not take is found among the
// read ones afterwards.
enum class ListFilter : uint8_t {
    kReceivedUnread,  // "AT+CMGL\r": the modem's default status
    kReceivedRead,    // "AT+CMGL=1\r"
};

class GsmModem {
public:
    explicit GsmModem(DriverBase& driver) : driver_(driver) {}

    // Sets aside what already waits on the line, writes length bytes of
    // buffer, then collects the answer into buffer until it holds terminator
    // or a final error result ("ERROR", "+CMS ERROR: <n>", "+CME ERROR: <n>"),
    // or a read brings nothing once timeoutMs has passed. false only when the
    // write or a read failed (status 6 or 5); result says which end it came to.
    bool ExchangeUntil(std::string& buffer, uint32_t& length, const char* terminator,
                       ExchangeResult* result = nullptr);

    // true only when the modem accepted the message ("+CMGS: <mr>", OK). After
    // an error instead of the prompt the PDU is not written.
    bool SendPdu(const SmsRecord& record, SendResult* result = nullptr);
    // false when a number or the text is refused (nothing is sent then), or
    // when SendPdu fails.
    bool SendSms(const char* serviceCentre, const char* destination, const char* text, SendResult* result = nullptr);

    // Lists stored messages into records (room for capacity, at most
    // kMaxListedRecords) and returns how many were filled; only whole entries
    // count, whatever end the exchange came to.
    int ListMessages(SmsRecord* records, size_t capacity = kMaxListedRecords,
                     ListFilter filter = ListFilter::kReceivedUnread, ExchangeResult* result = nullptr);
    // true only when the modem answered OK.
    bool DeleteMessage(int32_t index, ExchangeResult* result = nullptr);

private:
    DriverBase& driver_;
};

}  // namespace kelvora
