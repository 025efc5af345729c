// HMAC-SHA-256 on POSIX: OpenSSL's libcrypto (HMAC with EVP_sha256);
// random bytes from RAND_bytes.
#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <openssl/rand.h>

#include <cstring>

#include "platform/message_mac.h"

namespace kelvora {

bool HmacSha256(const uint8_t* key, size_t keySize, const uint8_t* data, size_t dataSize,
                uint8_t (&mac)[kHmacSha256Size]) {
    unsigned int length = 0;
    static const uint8_t kNothing = 0;  // HMAC wants a pointer even for no data
    const bool done = HMAC(EVP_sha256(), key, static_cast<int>(keySize), dataSize != 0 ? data : &kNothing, dataSize,
                           mac, &length) != nullptr &&
                      length == kHmacSha256Size;
    if (!done) std::memset(mac, 0, sizeof mac);
    return done;
}

bool RandomBytes(uint8_t* bytes, size_t count) {
    return count <= 0x7FFFFFFF && RAND_bytes(bytes, static_cast<int>(count)) == 1;
}

}  // namespace kelvora
