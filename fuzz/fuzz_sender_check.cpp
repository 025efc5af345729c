// libFuzzer target: the sender check on two arbitrary numbers and a type of
// address, one number as the station's DETC and the other as a message's
// sender, then the other way round. A number's comparable form is a tail of
// its digits (prefixes dropped). The check is symmetric; numbers that
// match each other match themselves; a DETC matches as its digits alone do;
// a DETC or a sender without digits matches nothing; an empty DETC lets
// every sender in; an alphanumeric sender never matches a DETC. ("0" or "00"
// alone is no number either: it matches nothing, not even itself.)
//
// Input: byte 0 is the sender's type-of-address octet; the two numbers
// follow, separated by a NUL.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "modem/sms_record.h"
#include "stations/sender_check.h"
#include "stations/site_numbers.h"
#include "support/fuzz_check.h"

namespace {

using namespace kelvora;

constexpr size_t kMaxPeerLength = kNumberFieldSize - 1;

// Whether a station whose DETC holds detcText, stored as a host's write
// stores it, takes a message from sender with that type of address.
bool Accepted(const std::string& detcText, const std::string& sender, uint8_t typeOfAddress) {
    char detc[kNumberTextSize];
    StoreNumberText(detc, detcText.c_str(), detcText.size() + 1);
    SmsRecord message;
    std::memset(&message, 0, sizeof message);
    std::memcpy(message.peerNumber, sender.data(), std::min(sender.size(), kMaxPeerLength));
    message.peerTypeOfAddress = typeOfAddress;
    return SenderAccepted(detc, message);
}

std::string DigitsOf(const std::string& number) {
    std::string digits;
    for (char c : number) {
        if (c >= '0' && c <= '9') digits += c;
    }
    return digits;
}

std::string Field(const uint8_t* data, size_t size, size_t& offset, size_t limit) {
    const char* begin = reinterpret_cast<const char*>(data + offset);
    const size_t length = strnlen(begin, size - offset);
    offset += length + (offset + length < size ? 1 : 0);
    return std::string(begin, std::min(length, limit));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const uint8_t type = data[0];
    const bool alphanumeric = ((type >> 4) & 0x07) == kTypeOfNumberAlphanumeric;
    size_t offset = 1;
    const std::string a = Field(data, size, offset, kMaxNumberTextLength);
    const std::string b = Field(data, size, offset, kMaxPeerLength);
    const std::string aDigits = DigitsOf(a);
    const std::string bDigits = DigitsOf(b);

    const std::string comparable = ComparableNumber(a.c_str());
    FUZZ_CHECK(comparable.find_first_not_of("0123456789") == std::string::npos && comparable.size() <= aDigits.size() &&
                   aDigits.compare(aDigits.size() - comparable.size(), std::string::npos, comparable) == 0,
               "a number is compared by the last of its digits, nothing else");

    const bool aAcceptsB = Accepted(a, b, type);
    if (a.empty()) {
        FUZZ_CHECK(aAcceptsB, "an empty DETC lets every sender in");
        return 0;
    }
    FUZZ_CHECK(!aAcceptsB || !alphanumeric, "an alphanumeric sender never matches a DETC");
    FUZZ_CHECK(!aAcceptsB || (!aDigits.empty() && !bDigits.empty()), "a number without digits matches nothing");
    FUZZ_CHECK(Accepted(aDigits.empty() ? a : aDigits, b, type) == aAcceptsB,
               "a DETC matches as its digits alone do");
    if (a.size() <= kMaxPeerLength && !b.empty()) {
        FUZZ_CHECK(Accepted(b, a, type) == aAcceptsB, "the check is symmetric");
    }
    if (aAcceptsB && a.size() <= kMaxPeerLength) {
        FUZZ_CHECK(Accepted(a, a, type) && Accepted(b, b, type), "numbers that match each other match themselves");
    }
    return 0;
}
