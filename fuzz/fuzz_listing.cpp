// libFuzzer target: the scan of an "AT+CMGL" response on any bytes, into 128
// records with guards around them: never more records than given, nothing
// written outside them, nothing read past the response.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "modem/listing_scan.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    constexpr size_t kGuard = 2;
    std::vector<char> response(data, data + size);
    std::vector<kelvora::SmsRecord> records(kelvora::kMaxListedRecords + 2 * kGuard);
    std::memset(records.data(), 0x3C, records.size() * sizeof(kelvora::SmsRecord));
    const int count = kelvora::ScanListing(response.data(), response.size(), records.data() + kGuard,
                                           kelvora::kMaxListedRecords);
    if (count < 0 || static_cast<size_t>(count) > kelvora::kMaxListedRecords) __builtin_trap();
    const auto* bytes = reinterpret_cast<const uint8_t*>(records.data());
    const size_t guardBytes = kGuard * sizeof(kelvora::SmsRecord);
    const size_t after = (kGuard + kelvora::kMaxListedRecords) * sizeof(kelvora::SmsRecord);
    for (size_t i = 0; i < guardBytes; ++i) {
        if (bytes[i] != 0x3C || bytes[after + i] != 0x3C) __builtin_trap();
    }
    // Records past the count are untouched.
    const size_t unused = (kGuard + static_cast<size_t>(count)) * sizeof(kelvora::SmsRecord);
    for (size_t i = unused; i < after; ++i) {
        if (bytes[i] != 0x3C) __builtin_trap();
    }
    for (int i = 0; i < count; ++i) {
        const kelvora::SmsRecord& r = records[kGuard + static_cast<size_t>(i)];
        if (std::memchr(r.text, '\0', sizeof r.text) == nullptr) __builtin_trap();
        if (std::memchr(r.peerNumber, '\0', sizeof r.peerNumber) == nullptr) __builtin_trap();
    }
    return 0;
}
