// libFuzzer target: the SMS-DELIVER decoder on any bytes, bounded by the
// input's length (no terminator), checking that every field of the record
// stays NUL-terminated within its width.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "modem/deliver_pdu.h"

namespace {

void CheckField(const char* field, size_t width) {
    if (std::memchr(field, '\0', width) == nullptr) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // A copy of exactly size bytes, so that a read past the end is caught.
    std::vector<char> pdu(data, data + size);
    kelvora::SmsRecord record;
    std::memset(&record, 0x7F, sizeof record);
    record.index = 5;
    kelvora::DecodeDeliverPdu(pdu.data(), pdu.size(), record);
    CheckField(record.serviceCentre, sizeof record.serviceCentre);
    CheckField(record.peerNumber, sizeof record.peerNumber);
    CheckField(record.timestamp, sizeof record.timestamp);
    CheckField(record.text, sizeof record.text);
    if (record.index != 5) __builtin_trap();
    return 0;
}
