// HMAC-SHA-256 on Windows: CNG's SHA-256 provider opened with the HMAC flag
// (BCryptCreateHash with the key, BCryptHashData, BCryptFinishHash: Vista and
// later; Wine implements them). The provider is opened once per call: a
// frame is signed or checked a few times a minute at most. Random bytes
// come from BCryptGenRandom with the system's preferred generator.
#include <windows.h>

#include <bcrypt.h>

#include <cstring>

#include "platform/message_mac.h"

namespace kelvora {

namespace {

bool Succeeded(NTSTATUS status) { return status >= 0; }

}  // namespace

bool HmacSha256(const uint8_t* key, size_t keySize, const uint8_t* data, size_t dataSize,
                uint8_t (&mac)[kHmacSha256Size]) {
    std::memset(mac, 0, sizeof mac);
    BCRYPT_ALG_HANDLE provider = nullptr;
    if (!Succeeded(BCryptOpenAlgorithmProvider(&provider, BCRYPT_SHA256_ALGORITHM, nullptr,
                                               BCRYPT_ALG_HANDLE_HMAC_FLAG))) {
        return false;
    }
    BCRYPT_HASH_HANDLE hash = nullptr;
    bool done = Succeeded(BCryptCreateHash(provider, &hash, nullptr, 0, const_cast<PUCHAR>(key),
                                           static_cast<ULONG>(keySize), 0));
    if (done && dataSize != 0) {
        done = Succeeded(BCryptHashData(hash, const_cast<PUCHAR>(data), static_cast<ULONG>(dataSize), 0));
    }
    if (done) done = Succeeded(BCryptFinishHash(hash, mac, static_cast<ULONG>(sizeof mac), 0));
    if (hash != nullptr) BCryptDestroyHash(hash);
    BCryptCloseAlgorithmProvider(provider, 0);
    if (!done) std::memset(mac, 0, sizeof mac);
    return done;
}

bool RandomBytes(uint8_t* bytes, size_t count) {
    return count <= 0xFFFFFFFFu &&
           Succeeded(BCryptGenRandom(nullptr, bytes, static_cast<ULONG>(count), BCRYPT_USE_SYSTEM_PREFERRED_RNG));
}

}  // namespace kelvora
