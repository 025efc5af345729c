// libFuzzer target: the scan of an "AT+CMGL" response on any bytes, into the
// 128 records a station lists into: never more records than given, nothing
// written past them (AddressSanitizer watches the array's end), records past
// the count untouched, every text field of a filled record terminated, and
// nothing read past the response.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "modem/listing_scan.h"
#include "support/fuzz_check.h"

namespace {

constexpr uint8_t kUntouched = 0x3C;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using kelvora::SmsRecord;
    using kelvora::fuzz::BytesAre;
    using kelvora::fuzz::Terminated;
    // One array for every run: allocating 27 KB per run would cost more than the scan.
    static std::vector<SmsRecord> records(kelvora::kMaxListedRecords);
    std::memset(records.data(), kUntouched, records.size() * sizeof(SmsRecord));
    // A copy of exactly size bytes, so that a read past the end is caught.
    const std::vector<char> response(data, data + size);

    const int count = kelvora::ScanListing(response.data(), response.size(), records.data(), records.size());
    FUZZ_CHECK(count >= 0 && static_cast<size_t>(count) <= records.size(), "count within the records given");
    const size_t filled = static_cast<size_t>(count);
    FUZZ_CHECK(BytesAre(records.data() + filled, (records.size() - filled) * sizeof(SmsRecord), kUntouched),
               "records past the count untouched");
    for (size_t i = 0; i < filled; ++i) {
        const SmsRecord& r = records[i];
        FUZZ_CHECK(Terminated(r.serviceCentre, sizeof r.serviceCentre) && Terminated(r.peerNumber, sizeof r.peerNumber) &&
                       Terminated(r.timestamp, sizeof r.timestamp) && Terminated(r.text, sizeof r.text),
                   "every text field of a listed record terminated");
    }
    return 0;
}
