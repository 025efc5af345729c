// What SendSms refuses before anything is written to the modem, and why: the
// numbers (as people write them: "+86139...", "0086139...", "139...",
// "+44...") and the text. A caller that wants to tell a person before
// sending asks the same questions with the same answers.
#pragma once

#include <cstddef>
#include <cstdint>

#include "driver/host_records.h"
#include "modem/sms_record.h"

namespace kelvora {

// SendSms limits: a destination has at least 11 characters as given; a text
// is 1 to 69 UTF-16 code units and at most 130 bytes in the code page,
// whichever limit comes first. 130 bytes is what a host's text field holds
// (65 Chinese characters in GBK, where each takes two bytes).
constexpr size_t kMinDestinationLength = 11;
constexpr int kMaxSentTextUnits = 69;
constexpr size_t kMaxSentTextBytes = kTextValueSize - 1;

enum class SendRefusal : uint8_t {
    kNone,
    kDestinationTooShort,  // fewer than 11 characters (none at all included)
    kNumberNotDigits,      // a number holds more than digits after its "+" or "00", or none
    kNumberTooLong,        // more than 15 digits with the country code
    kTextEmpty,
    kTextTooLong,          // more than 69 UTF-16 code units, or 130 bytes
    kTextNotConvertible,   // not text of the code page
    kTextReadsAsAFrame,    // a free text a station would apply as a frame (the stations decide)
    kTextNotSevenBit,      // for 7-bit: a character the default alphabet does not share with ASCII
};

// How a text travels: UCS2 (the stations' frames and free texts), or the GSM
// 7-bit default alphabet (authenticated frames, of up to 160 characters).
enum class SmsCoding : uint8_t { kUcs2, kSevenBit };

constexpr int kMaxSevenBitCharacters = 160;

// "the destination has fewer than 11 characters", ...
const char* RefusalText(SendRefusal refusal);

// A number as the PDU carries it, with the international type: one written
// with "+" or "00" (the international prefix) keeps its digits as written;
// one without gets the country code 86 in front unless it begins with 86.
// kNone and field filled when it can be sent.
SendRefusal InternationalDigits(const char* number, char (&field)[kNumberFieldSize]);

// The destination as SendSms takes it: long enough, then InternationalDigits.
SendRefusal CheckDestination(const char* destination, char (&field)[kNumberFieldSize]);

// A text in the code page as SendSms takes it; units gets its UTF-16 length.
SendRefusal CheckMessageText(const char* text, int* units = nullptr);
// A text as SendSms takes it for 7-bit: 1 to 160 characters, each one
// IsGsm7Ascii takes.
SendRefusal CheckSevenBitText(const char* text);

// A text of the code page in characters, for telling a person what the
// limits above mean for it: how many characters it has (a surrogate pair is
// one) and how many of them, from its start, fit within maxUnits UTF-16 code
// units and maxBytes bytes. Both -1 when it is not text of the code page.
struct TextFit {
    int characters = -1;
    int fitting = -1;
};
TextFit FitText(const char* text, size_t bytes, int maxUnits = kMaxSentTextUnits,
                size_t maxBytes = kMaxSentTextBytes);

}  // namespace kelvora
