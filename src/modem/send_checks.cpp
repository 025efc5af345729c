// What SendSms refuses (see the header).
#include "modem/send_checks.h"

#include <cstdio>
#include <cstring>

#include "platform/code_page.h"

namespace kelvora {

namespace {

constexpr size_t kMaxNumberLength = kNumberFieldSize - 1;
constexpr size_t kTextConversionUnits = 1024;

}  // namespace

const char* RefusalText(SendRefusal refusal) {
    switch (refusal) {
        case SendRefusal::kNone: return "nothing refused";
        case SendRefusal::kDestinationTooShort: return "the destination has fewer than 11 characters";
        case SendRefusal::kNumberNotDigits: return "a number holds characters other than digits, or no digit";
        case SendRefusal::kNumberTooLong: return "a number has more than 15 digits with its country code";
        case SendRefusal::kTextEmpty: return "the text is empty";
        case SendRefusal::kTextTooLong: return "the text is longer than 69 characters";
        case SendRefusal::kTextNotConvertible: return "the text is not text of the code page";
    }
    return "?";
}

SendRefusal InternationalDigits(const char* number, char (&field)[kNumberFieldSize]) {
    // "+" and "00" both say that the country code follows: the digits go out
    // as written, whatever the country. Without either the number is
    // national and gets the country code 86 in front, unless it begins with it.
    bool national = true;
    if (number[0] == '+') {
        ++number;
        national = false;
    } else if (number[0] == '0' && number[1] == '0') {
        number += 2;
        national = false;
    }
    const size_t digits = std::strlen(number);
    if (digits == 0) return SendRefusal::kNumberNotDigits;
    for (size_t i = 0; i < digits; ++i) {
        if (number[i] < '0' || number[i] > '9') return SendRefusal::kNumberNotDigits;
    }
    const bool addCountryCode = national && !(number[0] == '8' && number[1] == '6');
    // A cut number would reach a stranger.
    if (digits + (addCountryCode ? 2 : 0) > kMaxNumberLength) return SendRefusal::kNumberTooLong;
    std::snprintf(field, kNumberFieldSize, "%s%s", addCountryCode ? "86" : "", number);
    return SendRefusal::kNone;
}

SendRefusal CheckDestination(const char* destination, char (&field)[kNumberFieldSize]) {
    if (destination == nullptr || std::strlen(destination) < kMinDestinationLength) {
        return SendRefusal::kDestinationTooShort;
    }
    return InternationalDigits(destination, field);
}

SendRefusal CheckMessageText(const char* text, int* units) {
    if (units != nullptr) *units = 0;
    if (text == nullptr || text[0] == '\0') return SendRefusal::kTextEmpty;
    const size_t bytes = std::strlen(text);
    if (bytes > kTextFieldSize - 1) return SendRefusal::kTextTooLong;
    uint16_t converted[kTextConversionUnits];
    const int count = AnsiToUtf16(text, bytes, converted, kTextConversionUnits);
    if (count < 0) return SendRefusal::kTextNotConvertible;
    if (units != nullptr) *units = count;
    return count > kMaxTextUnits ? SendRefusal::kTextTooLong : SendRefusal::kNone;
}

}  // namespace kelvora
