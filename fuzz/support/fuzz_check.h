// What every fuzz target asserts with: a check that names the broken rule
// before it aborts (so libFuzzer keeps the input as a crash), and the
// memory checks over large regions, kept out of the coverage instrumentation
// so that a check over thousands of bytes costs a fuzzer nothing.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kelvora::fuzz {

[[noreturn]] void Fail(const char* file, int line, const char* rule);

// True when every one of the count bytes at bytes equals value.
bool BytesAre(const void* bytes, size_t count, uint8_t value);

// True when the count bytes at a and at b are the same.
bool BytesEqual(const void* a, const void* b, size_t count);

// True when a text field of width bytes holds its NUL inside the field.
bool Terminated(const char* field, size_t width);

}  // namespace kelvora::fuzz

#define FUZZ_CHECK(condition, rule) \
    ((condition) ? static_cast<void>(0) : ::kelvora::fuzz::Fail(__FILE__, __LINE__, rule))
