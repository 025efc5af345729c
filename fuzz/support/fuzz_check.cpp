// The fuzz targets' checks (see the header).
#include "support/fuzz_check.h"

#include <cstdio>
#include <cstdlib>

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

KELVORA_UNINSTRUMENTED bool BytesAre(const void* bytes, size_t count, uint8_t value) {
    const auto* p = static_cast<const uint8_t*>(bytes);
    for (size_t i = 0; i < count; ++i) {
        if (p[i] != value) return false;
    }
    return true;
}

KELVORA_UNINSTRUMENTED bool Terminated(const char* field, size_t width) {
    for (size_t i = 0; i < width; ++i) {
        if (field[i] == '\0') return true;
    }
    return false;
}

}  // namespace kelvora::fuzz
