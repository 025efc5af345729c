// What both stations do with their modem's message store: list it, hand each
// message to the station, then delete every message listed (whether the
// station used it or not, so the store never fills up); and send a host's
// free text.
#pragma once

#include <functional>

#include "modem/gsm_modem.h"
#include "modem/sms_record.h"
#include "stations/site_numbers.h"

namespace kelvora {

// Lists the stored messages, calls handle for each in listed order (its text
// always NUL-terminated), then deletes each by its index.
void ProcessStoredMessages(GsmModem& modem, const std::function<void(const SmsRecord&)>& handle);

// The status a host write leaves for a message handed to the modem: 0 when
// the modem accepted it, 7 (timed out) when the modem did not answer in
// time, 6 (write error) when the modem or the network refused it, the driver
// refused the number or the text, or the port failed.
uint32_t SendStatus(const SendResult& result);

// Sends the host's text field (SEND_MSG) unchanged, unless it is empty (then
// nothing is sent and the status is 0). The field need not hold a NUL.
// Returns the status as SendStatus gives it.
uint32_t SendFreeText(GsmModem& modem, const SiteNumbers& numbers, const char* textValue, size_t textCapacity);

}  // namespace kelvora
