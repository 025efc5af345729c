// libFuzzer target: the SMS-DELIVER decoder on any bytes, bounded by the
// input's length (no terminator), checking that every field of the record
// stays NUL-terminated within its width and that the index is left alone.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "modem/deliver_pdu.h"
#include "support/fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using kelvora::fuzz::Terminated;
    // A copy of exactly size bytes, so that a read past the end is caught.
    const std::vector<char> pdu(data, data + size);
    kelvora::SmsRecord record;
    std::memset(&record, 0x7F, sizeof record);
    record.index = 5;
    kelvora::DecodeDeliverPdu(pdu.data(), pdu.size(), record);
    FUZZ_CHECK(Terminated(record.serviceCentre, sizeof record.serviceCentre) &&
                   Terminated(record.peerNumber, sizeof record.peerNumber) &&
                   Terminated(record.timestamp, sizeof record.timestamp) && Terminated(record.text, sizeof record.text),
               "every text field terminated within its width");
    FUZZ_CHECK(record.index == 5, "the index is the listing's, not the PDU's");
    return 0;
}
