// StationKey: the secret that a central station shares with one site, and
// the two telephone numbers it binds: the centre's and the site's. Both
// stations hold a copy of the same key file, a short text that only its
// owner may read (SecretFile):
//
//   # Kelvora key for one site and its centre. Secret: keep it owner-only.
//   centre +8613800000001
//   site +8613900000005
//   key 3F0C...  (64 hexadecimal digits: 256 bits)
//
// The key is never a register, never in the trace, and never readable
// through the driver.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kelvora {

constexpr size_t kMinKeyBytes = 16;  // 128 bits at the least
constexpr size_t kMaxKeyBytes = 64;  // one SHA-256 block: HMAC takes it as it is
constexpr size_t kNewKeyBytes = 32;  // what keygen makes: 256 bits

struct StationKey {
    std::vector<uint8_t> secret;
    // The numbers as the sender check compares them (ComparableNumber).
    std::string centre;
    std::string site;
};

// Reads a key file's text. false, with the reason, when a line is not
// understood, the centre or site number is missing or holds no digit, or
// the key is not 16 to 64 bytes in hexadecimal digits.
bool ParseKeyText(const std::string& text, StationKey* key, std::string* why);

// Reads the key file at path (owner-only, or it is refused).
bool LoadStationKey(const std::string& path, StationKey* key, std::string* why);

// A new key file's text for the two numbers (as the user wrote them), with
// kNewKeyBytes random bytes. false when the numbers hold no digit or the
// platform gave no random bytes.
bool NewKeyText(const std::string& centreNumber, const std::string& siteNumber, std::string* text,
                std::string* why);

}  // namespace kelvora
