// The byte-level codecs of SMS in PDU mode: hexadecimal text, swapped-digit
// (semi-octet) telephone numbers, UCS2 text in the ANSI code page, GSM 7-bit
// packing and 8-bit data. Each writes into a caller's buffer whose room is
// stated per function, and never reads past the count it is given.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kelvora {

// Limits of the decoder's fixed buffers.
constexpr int kMaxUcs2Units = 128;      // code units a UCS2 text converts to at most
constexpr int kMaxTextBytes = 160;      // bytes of converted text at most

// True for 0-9, A-F and a-f.
inline bool IsHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

// Two capital hexadecimal digits per byte, high nibble first, then a NUL.
// output: room for 2 * count + 1. Returns 2 * count (0 when count <= 0).
int BytesToHex(const uint8_t* bytes, int count, char* output);

// One byte per pair of hexadecimal digits (either case); converts
// characters / 2 pairs. output: room for characters / 2. Returns that count.
int HexToBytes(const char* hex, int characters, uint8_t* output);

// The swapped-digit form of a number: each pair written second character
// first; an odd count ends with 'F' and the last character. A NUL follows.
// output: room for count + 2. Returns count, made even.
int DigitsToSemiOctets(const char* digits, int count, char* output);

// byteCount bytes of ANSI text as UTF-16 code units, high byte first, at most
// kMaxUcs2Units (a text that needs more, or does not convert, gives nothing).
// output: room for 2 * kMaxUcs2Units. Returns the number of bytes written.
int TextToUcs2(const char* text, int byteCount, uint8_t* output);

// Whether a character has the same code in the GSM 7-bit default alphabet
// (TS 23.038) as in ASCII: letters, digits, the space, line feed, carriage
// return and !"#%&'()*+,-./:;<=>? ("@", "$", "_" and the brackets differ).
bool IsGsm7Ascii(char c);

// GSM 7-bit packing (least significant bits first) of count characters that
// IsGsm7Ascii takes, as their septets. output: room for (7 * count + 7) / 8.
// Returns the number of octets written.
int Pack7Bit(const char* text, int count, uint8_t* output);

// The reverse of DigitsToSemiOctets: each pair swapped; a trailing filler 'F'
// (or 'f') is dropped. A NUL follows. output: room for count + 1. Returns the
// number of characters written.
int SemiOctetsToDigits(const char* semiOctets, int count, char* output);

// GSM 7-bit unpacking (least significant bits first): count octets give
// count + count / 7 characters, septet values as they are, then a NUL.
// output: room for count + count / 7 + 1. Returns the number of characters.
int Unpack7Bit(const uint8_t* octets, int count, char* output);

// count / 2 UTF-16 code units (first octet high) converted to the ANSI code
// page, at most kMaxTextBytes bytes (a text that needs more gives nothing),
// then a NUL. Units past kMaxUcs2Units are ignored. output: room for
// kMaxTextBytes + 1. Returns the number of bytes written before the NUL.
int Ucs2ToText(const uint8_t* octets, int count, char* output);

// The octets unchanged, then a NUL. output: room for count + 1. Returns count.
int Copy8Bit(const uint8_t* octets, int count, char* output);

}  // namespace kelvora
