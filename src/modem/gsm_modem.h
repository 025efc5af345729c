// GsmModem: the AT dialogue with the GSM modem on a driver's serial port, and
// SMS in PDU mode: sending SMS-SUBMIT, listing and decoding SMS-DELIVER,
// deleting. It keeps no state: every operation works on the DriverBase's port,
// line type, reply time-out and status.
#pragma once

#include <cstdint>
#include <string>

#include "driver/driver_base.h"
#include "modem/sms_record.h"

namespace kelvora {

// The default service-centre number: "+", then 13 digits beginning with 86.
extern const char kDefaultServiceCentre[];

// A response never grows past this: a babbling line cannot hold the host.
constexpr size_t kMaxResponseBytes = 256 * 1024;

class GsmModem {
public:
    explicit GsmModem(DriverBase& driver) : driver_(driver) {}

    // Writes length bytes of buffer, then collects the answer into buffer
    // until it holds terminator, or a read brings nothing once timeoutMs has
    // passed. false only when the write or a read failed (status 6 or 5).
    bool ExchangeUntil(std::string& buffer, uint32_t& length, const char* terminator);

    bool SendPdu(const SmsRecord& record);
    // false when a number or the text is refused; nothing is sent then.
    bool SendSms(const char* serviceCentre, const char* destination, const char* text);

    // Lists the stored messages into records (room for kMaxListedRecords) and
    // returns how many were filled.
    int ListMessages(SmsRecord* records);
    bool DeleteMessage(int32_t index);

private:
    DriverBase& driver_;
};

}  // namespace kelvora
