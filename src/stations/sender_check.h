// The sender check: a station with a destination number (DETC) accepts
// register changes only from that number. It stops strangers and mistakes; it
// cannot stop someone who forges the originating address of an SMS.
#pragma once

#include <string>

#include "modem/sms_record.h"

namespace kelvora {

// A telephone number reduced for comparison: digits only, a leading "00"
// dropped, the country code 86 dropped when at least 11 digits remain, then
// a leading trunk "0" dropped. "+86 138-0013-8000", "008613800138000" and
// "013800138000" all give "13800138000".
std::string ComparableNumber(const char* number);

// True when a message from this sender may change registers for a station
// whose destination number is detc (a NUL-terminated field of at most
// kNumberTextSize bytes): every sender while detc is empty; otherwise only a
// sender whose number equals detc after normalisation. An alphanumeric sender
// never matches, and a detc that holds no digit matches no sender.
bool SenderAccepted(const char* detc, const SmsRecord& message);

}  // namespace kelvora
