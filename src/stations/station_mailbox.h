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

// Sends the host's text field (SEND_MSG) unchanged, unless it is empty. The
// field need not hold a NUL.
void SendFreeText(GsmModem& modem, const SiteNumbers& numbers, const char* textValue, size_t textCapacity);

}  // namespace kelvora
