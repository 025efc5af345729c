// The scan of an "AT+CMGL" response: every complete "+CMGL:" entry (header
// line and PDU line, each ended by a line end) decoded into the next record.
#pragma once

#include <cstddef>

#include "modem/sms_record.h"

namespace kelvora {

// Scans size bytes of response (no terminator needed; nothing past size is
// read) and fills at most capacity records, in the order listed. An entry
// counts only when it is whole; one cut off by the end of the response ends
// the scan, so that the message stays in the modem. Records past the count
// are left untouched. Returns the number of records filled. statuses, when
// given (room for capacity), gets each entry's <stat> (0 received unread, 1
// received read, 2 stored unsent, 3 stored sent), -1 where the header has none.
int ScanListing(const char* response, size_t size, SmsRecord* records, size_t capacity,
                int32_t* statuses = nullptr);

}  // namespace kelvora
