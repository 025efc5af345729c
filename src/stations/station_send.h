// What both stations do to send a message for the host: the status a write
// leaves for what the modem made of it, and the free text (SEND_MSG).
#pragma once

#include <cstddef>
#include <cstdint>

#include "modem/gsm_modem.h"
#include "modem/send_result.h"
#include "stations/site_numbers.h"

namespace kelvora {

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
