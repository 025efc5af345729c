// The SMS-SUBMIT encoder: an SmsRecord as the hexadecimal PDU text that
// follows "AT+CMGS", service-centre part included, user data in UCS2 or
// (coding scheme 0) GSM 7-bit.
#pragma once

#include <cstddef>
#include <cstdint>

#include "modem/sms_record.h"

namespace kelvora {

// Room the encoder's output needs: 512 characters and the NUL.
constexpr size_t kSubmitPduCapacity = 513;
// The most user data one SMS carries (TS 23.040): 140 octets, 70 UCS2 units.
constexpr int kMaxUserDataOctets = 140;
// How long the network tries to deliver each message the driver sends: the
// relative validity period 0 it carries, five minutes (TS 23.040 9.2.3.12.1).
constexpr uint32_t kMessageValiditySeconds = 5 * 60;

// Writes the PDU as NUL-terminated capital hexadecimal text into output (room
// for kSubmitPduCapacity) and returns the number of hexadecimal characters.
// A record whose text needs more than 140 octets of UCS2, or does not convert
// from the code page, does not fit one message; one whose numbers hold
// anything but the digits 0 to 9 cannot be written as semi-octets, and one
// whose coding scheme names neither UCS2 nor the 7-bit default alphabet (0)
// would be misread, and a 7-bit one of more than 160 characters or with a
// character IsGsm7Ascii refuses cannot be written: nothing is encoded then,
// output is empty and the result is 0.
int EncodeSubmitPdu(const SmsRecord& record, char* output);

}  // namespace kelvora
