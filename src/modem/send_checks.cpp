// What SendSms refuses (see the header).
#include "modem/send_checks.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "modem/pdu_codecs.h"
#include "platform/code_page.h"

namespace kelvora {

namespace {

constexpr size_t kMaxNumberLength = kNumberFieldSize - 1;
constexpr size_t kTextConversionUnits = kMaxSentTextBytes;  // a byte gives at most one unit

}  // namespace

const char* RefusalText(SendRefusal refusal) {
    switch (refusal) {
        case SendRefusal::kNone: return "nothing refused";
        case SendRefusal::kDestinationTooShort: return "the destination has fewer than 11 characters";
        case SendRefusal::kNumberNotDigits: return "a number holds characters other than digits, or no digit";
        case SendRefusal::kNumberTooLong: return "a number has more than 15 digits with its country code";
        case SendRefusal::kTextEmpty: return "the text is empty";
        case SendRefusal::kTextTooLong:
            return "the text is longer than one message: more than 69 characters (UTF-16 units) or 130 bytes in the "
                   "code page";
        case SendRefusal::kTextNotConvertible: return "the text is not text of the code page";
        case SendRefusal::kTextReadsAsAFrame:
            return "the text reads as a telemetry frame (a write command or a report), which a station would apply";
        case SendRefusal::kTextNotSevenBit:
            return "the text holds a character the GSM 7-bit alphabet does not share with ASCII, or more than 160";
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
    if (bytes > kMaxSentTextBytes) return SendRefusal::kTextTooLong;
    uint16_t converted[kTextConversionUnits];
    const int count = AnsiToUtf16(text, bytes, converted, kTextConversionUnits);
    if (count < 0) return SendRefusal::kTextNotConvertible;
    if (units != nullptr) *units = count;
    return count > kMaxSentTextUnits ? SendRefusal::kTextTooLong : SendRefusal::kNone;
}

TextFit FitText(const char* text, size_t bytes, int maxUnits, size_t maxBytes) {
    TextFit fit;
    std::vector<uint16_t> units(bytes + 1);  // a byte of the code page gives at most one unit
    const int count = AnsiToUtf16(text, bytes, units.data(), units.size());
    if (count < 0) return fit;
    fit.characters = 0;
    fit.fitting = 0;
    int unitsSoFar = 0;
    size_t bytesSoFar = 0;
    for (int i = 0; i < count;) {
        const bool pair = units[i] >= 0xD800 && units[i] < 0xDC00 && i + 1 < count && units[i + 1] >= 0xDC00 &&
                          units[i + 1] < 0xE000;
        const int width = pair ? 2 : 1;
        char converted[16];
        const int n = Utf16ToAnsi(&units[static_cast<size_t>(i)], static_cast<size_t>(width), converted, sizeof converted);
        unitsSoFar += width;
        bytesSoFar += n > 0 ? static_cast<size_t>(n) : 0;
        if (fit.fitting == fit.characters && unitsSoFar <= maxUnits && bytesSoFar <= maxBytes) ++fit.fitting;
        ++fit.characters;
        i += width;
    }
    return fit;
}

}  // namespace kelvora

namespace kelvora {

SendRefusal CheckSevenBitText(const char* text) {
    if (text == nullptr || text[0] == '\0') return SendRefusal::kTextEmpty;
    const size_t length = std::strlen(text);
    if (length > static_cast<size_t>(kMaxSevenBitCharacters)) return SendRefusal::kTextNotSevenBit;
    for (size_t i = 0; i < length; ++i) {
        if (!IsGsm7Ascii(text[i])) return SendRefusal::kTextNotSevenBit;
    }
    return SendRefusal::kNone;
}

}  // namespace kelvora
