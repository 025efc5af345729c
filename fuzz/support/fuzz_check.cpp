// The fuzz targets' checks (see the header).
#include "support/fuzz_check.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

// The sanitizers' and the coverage's hooks on a loop over a whole buffer tell
// the fuzzer nothing about the code under test and cost far more than that
// code (a byte-wise check of 27 KB of records was most of the listing
// fuzzer's time). These loops read only memory the target owns.
#define KELVORA_UNINSTRUMENTED __attribute__((no_sanitize("coverage", "address", "undefined")))

namespace kelvora::fuzz {

void Fail(const char* file, int line, const char* rule) {
    std::fprintf(stderr, "%s:%d: broken: %s\n", file, line, rule);
    std::abort();
}

// Eight bytes at a time and without an early exit: a whole station image
// (256 KB) is compared in microseconds.
KELVORA_UNINSTRUMENTED bool BytesEqual(const void* a, const void* b, size_t count) {
    const auto* p = static_cast<const uint8_t*>(a);
    const auto* q = static_cast<const uint8_t*>(b);
    uint64_t difference = 0;
    size_t i = 0;
    for (; i + 8 <= count; i += 8) {
        uint64_t x;
        uint64_t y;
        std::memcpy(&x, p + i, 8);
        std::memcpy(&y, q + i, 8);
        difference |= x ^ y;
    }
    for (; i < count; ++i) difference |= static_cast<uint64_t>(p[i] ^ q[i]);
    return difference == 0;
}

KELVORA_UNINSTRUMENTED bool BytesAre(const void* bytes, size_t count, uint8_t value) {
    const auto* p = static_cast<const uint8_t*>(bytes);
    uint64_t pattern;
    std::memset(&pattern, value, 8);
    uint64_t difference = 0;
    size_t i = 0;
    for (; i + 8 <= count; i += 8) {
        uint64_t x;
        std::memcpy(&x, p + i, 8);
        difference |= x ^ pattern;
    }
    for (; i < count; ++i) difference |= static_cast<uint64_t>(p[i] ^ value);
    return difference == 0;
}

KELVORA_UNINSTRUMENTED bool Terminated(const char* field, size_t width) {
    for (size_t i = 0; i < width; ++i) {
        if (field[i] == '\0') return true;
    }
    return false;
}

}  // namespace kelvora::fuzz
