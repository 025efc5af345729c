// The SMS-DELIVER decoder: one PDU of a listing, in hexadecimal text, into an
// SmsRecord (service centre, originating address and its type, protocol
// identifier, coding scheme, time stamp, text).
#pragma once

#include <cstddef>

#include "modem/sms_record.h"

namespace kelvora {

// Decodes the PDU that begins at hex. The PDU ends at the first character
// that is not a hexadecimal digit (either case), or after length characters;
// nothing past that is read. A PDU shorter than its length fields is decoded
// with what it carries and the rest of the record left empty. Every field of
// record but index is overwritten; numbers are cut to 15 digits and the text
// to 160 bytes.
void DecodeDeliverPdu(const char* hex, size_t length, SmsRecord& record);

// The same for a NUL-terminated (or otherwise ended) PDU text.
void DecodeDeliverPdu(const char* hex, SmsRecord& record);

}  // namespace kelvora
