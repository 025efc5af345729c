// The key file: reading, checking and making one (see the header).
#include "stations/station_key.h"

#include <sstream>

#include "modem/pdu_codecs.h"
#include "platform/message_mac.h"
#include "platform/secret_file.h"
#include "stations/sender_check.h"

namespace kelvora {

namespace {

constexpr char kHeader[] = "# Kelvora key for one site and its centre. Secret: keep it owner-only.\n";

bool Blank(const std::string& line) { return line.find_first_not_of(" \t\r") == std::string::npos; }

std::string Trimmed(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos) return std::string();
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

bool HexSecret(const std::string& hex, std::vector<uint8_t>* secret, std::string* why) {
    for (char c : hex) {
        if (!IsHexDigit(c)) {
            *why = "the key holds a character that is no hexadecimal digit";
            return false;
        }
    }
    const size_t bytes = hex.size() / 2;
    if (hex.size() % 2 != 0 || bytes < kMinKeyBytes || bytes > kMaxKeyBytes) {
        *why = "the key has " + std::to_string(hex.size()) + " hexadecimal digits; it needs an even number from " +
               std::to_string(2 * kMinKeyBytes) + " to " + std::to_string(2 * kMaxKeyBytes) + " (128 to 512 bits)";
        return false;
    }
    secret->assign(bytes, 0);
    HexToBytes(hex.c_str(), static_cast<int>(hex.size()), secret->data());
    return true;
}

}  // namespace

bool ParseKeyText(const std::string& text, StationKey* key, std::string* why) {
    *key = StationKey{};
    std::istringstream lines(text);
    std::string line;
    bool haveKey = false;
    for (int number = 1; std::getline(lines, line); ++number) {
        if (Blank(line) || Trimmed(line)[0] == '#') continue;
        const std::string trimmed = Trimmed(line);
        const size_t space = trimmed.find_first_of(" \t");
        const std::string name = trimmed.substr(0, space);
        const std::string value = space == std::string::npos ? std::string() : Trimmed(trimmed.substr(space));
        if (name == "centre") {
            key->centre = ComparableNumber(value.c_str());
        } else if (name == "site") {
            key->site = ComparableNumber(value.c_str());
        } else if (name == "key") {
            if (!HexSecret(value, &key->secret, why)) return false;
            haveKey = true;
        } else {
            *why = "line " + std::to_string(number) + " is none of centre, site, key";
            return false;
        }
    }
    if (!haveKey) *why = "it holds no key";
    else if (key->centre.empty()) *why = "it names no centre number";
    else if (key->site.empty()) *why = "it names no site number";
    else return true;
    return false;
}

bool LoadStationKey(const std::string& path, StationKey* key, std::string* why) {
    std::string text;
    return ReadSecretFile(path, &text, why) && ParseKeyText(text, key, why);
}

bool NewKeyText(const std::string& centreNumber, const std::string& siteNumber, std::string* text,
                std::string* why) {
    if (ComparableNumber(centreNumber.c_str()).empty() || ComparableNumber(siteNumber.c_str()).empty()) {
        *why = "the centre and site numbers must be telephone numbers";
        return false;
    }
    uint8_t secret[kNewKeyBytes];
    if (!RandomBytes(secret, sizeof secret)) {
        *why = "the system gave no random bytes";
        return false;
    }
    char hex[2 * kNewKeyBytes + 1];
    BytesToHex(secret, static_cast<int>(sizeof secret), hex);
    *text = std::string(kHeader) + "centre " + centreNumber + "\nsite " + siteNumber + "\nkey " + hex + "\n";
    return true;
}

}  // namespace kelvora
