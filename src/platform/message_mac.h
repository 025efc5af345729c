// The message authentication code of the stations' authenticated frames:
// HMAC-SHA-256 (RFC 2104, FIPS 180-4) from the platform's own well-kept
// library, never a hash of ours: Windows' CNG (bcrypt.dll, on every Windows
// since Vista, so the DLL carries no cryptography of its own), OpenSSL's
// libcrypto on POSIX. The same libraries give a new key its random bytes.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kelvora {

constexpr size_t kHmacSha256Size = 32;

// The HMAC-SHA-256 of data under key into mac. false when the library
// failed (mac is then zeroed): the caller refuses the frame.
bool HmacSha256(const uint8_t* key, size_t keySize, const uint8_t* data, size_t dataSize,
                uint8_t (&mac)[kHmacSha256Size]);

// count bytes from the platform's cryptographic random source (a new key).
// false when it failed.
bool RandomBytes(uint8_t* bytes, size_t count);

// Compares two codes in time that does not depend on where they differ.
bool SameMac(const uint8_t* a, const uint8_t* b, size_t size);

}  // namespace kelvora
