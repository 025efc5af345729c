// What both stations do to send a message for the host: the status a write
// leaves for what the modem made of it, and the free text (SEND_MSG) with
// what the driver refuses in it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "modem/gsm_modem.h"
#include "modem/send_result.h"
#include "stations/site_numbers.h"

namespace kelvora {

// The status a host write leaves for a message handed to the modem: 0 when
// the modem accepted it; 7 (timed out) when it was not confirmed and may have
// gone out (the modem did not answer in time, or the port failed after the
// message was handed over); 6 (write error) when it was not sent: the modem
// or the network refused it, the driver refused the number or the text, or
// the port failed before the message was handed over.
uint32_t SendStatus(const SendResult& result);

// Why a free text (SEND_MSG, NUL-terminated, in the code page) is not sent:
// what SendSms refuses in any text (kMaxSentTextUnits, kMaxSentTextBytes),
// and a text that reads as a frame of either kind, which a site would apply
// as a write command or the centre as a report. kNone when it can go.
SendRefusal CheckFreeText(const char* text);

// Sends the host's text field (SEND_MSG) unchanged, unless it is empty (then
// nothing is sent and the status is 0) or CheckFreeText refuses it (the
// reason goes to the trace). The field need not hold a NUL; one that fills
// it is longer than a message. Returns the status as SendStatus gives it.
uint32_t SendFreeText(GsmModem& modem, const SiteNumbers& numbers, const char* textValue, size_t textCapacity);

}  // namespace kelvora
