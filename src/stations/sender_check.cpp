// The sender check: number normalisation and matching.
#include "stations/sender_check.h"

#include "stations/site_numbers.h"

namespace kelvora {

namespace {

constexpr size_t kCountryCodeMinRest = 11;  // a Chinese mobile number has 11 digits

bool StartsWith(const std::string& s, const char* prefix) { return s.rfind(prefix, 0) == 0; }

// Reads at most limit bytes of a NUL-terminated field.
std::string DigitsOf(const char* text, size_t limit) {
    std::string digits;
    if (text == nullptr) return digits;
    for (size_t i = 0; i < limit && text[i] != '\0'; ++i) {
        if (text[i] >= '0' && text[i] <= '9') digits.push_back(text[i]);
    }
    return digits;
}

std::string Normalise(std::string digits) {
    if (StartsWith(digits, "00")) digits.erase(0, 2);
    if (StartsWith(digits, "86") && digits.size() - 2 >= kCountryCodeMinRest) digits.erase(0, 2);
    if (StartsWith(digits, "0")) digits.erase(0, 1);
    return digits;
}

}  // namespace

std::string ComparableNumber(const char* number) { return Normalise(DigitsOf(number, kNumberTextSize)); }

bool SenderAccepted(const char* detc, const SmsRecord& message) {
    if (detc == nullptr || detc[0] == '\0') return true;  // no number configured: open as before
    const std::string wanted = ComparableNumber(detc);
    if (wanted.empty()) return false;  // text but no number: nobody matches
    if (message.PeerTypeOfNumber() == kTypeOfNumberAlphanumeric) return false;
    const std::string sender = Normalise(DigitsOf(message.peerNumber, sizeof message.peerNumber));
    return sender == wanted;
}

}  // namespace kelvora
