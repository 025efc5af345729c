// The PDU codecs (see the header). Table-driven where they sit in the hot
// path of long listings.
#include "modem/pdu_codecs.h"

#include <array>
#include <cstring>

#include "platform/code_page.h"

namespace kelvora {
namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

// The value of each character as a hexadecimal digit. Characters that are not
// digits keep the historical reading (code less 55, kept to 8 bits), so that
// garbage converts the same way it always did; the decoder never passes any.
constexpr std::array<uint8_t, 256> MakeHexValues() {
    std::array<uint8_t, 256> values{};
    for (int c = 0; c < 256; ++c) values[c] = static_cast<uint8_t>(c - 55);
    for (int c = '0'; c <= '9'; ++c) values[c] = static_cast<uint8_t>(c - '0');
    for (int c = 'a'; c <= 'f'; ++c) values[c] = static_cast<uint8_t>(c - 'a' + 10);
    return values;
}
constexpr std::array<uint8_t, 256> kHexValues = MakeHexValues();

inline uint8_t HexValue(char c) { return kHexValues[static_cast<unsigned char>(c)]; }

}  // namespace

int BytesToHex(const uint8_t* bytes, int count, char* output) {
    if (count <= 0) {
        output[0] = '\0';
        return 0;
    }
    for (int i = 0; i < count; ++i) {
        output[2 * i] = kHexDigits[bytes[i] >> 4];
        output[2 * i + 1] = kHexDigits[bytes[i] & 0x0F];
    }
    output[2 * count] = '\0';
    return 2 * count;
}

int HexToBytes(const char* hex, int characters, uint8_t* output) {
    if (characters <= 0) return 0;
    const int count = characters / 2;
    for (int i = 0; i < count; ++i) {
        output[i] = static_cast<uint8_t>((HexValue(hex[2 * i]) << 4) | HexValue(hex[2 * i + 1]));
    }
    return count;
}

int DigitsToSemiOctets(const char* digits, int count, char* output) {
    if (count <= 0) {
        output[0] = '\0';
        return 0;
    }
    int i = 0;
    for (; i + 1 < count; i += 2) {
        output[i] = digits[i + 1];
        output[i + 1] = digits[i];
    }
    if (i < count) {  // odd: the last digit with the filler in the high half
        output[i] = 'F';
        output[i + 1] = digits[i];
        i += 2;
    }
    output[i] = '\0';
    return i;
}

int TextToUcs2(const char* text, int byteCount, uint8_t* output) {
    if (byteCount <= 0) return 0;
    uint16_t units[kMaxUcs2Units];
    const int n = AnsiToUtf16(text, static_cast<size_t>(byteCount), units, kMaxUcs2Units);
    if (n <= 0) return 0;
    for (int i = 0; i < n; ++i) {
        output[2 * i] = static_cast<uint8_t>(units[i] >> 8);
        output[2 * i + 1] = static_cast<uint8_t>(units[i] & 0xFF);
    }
    return 2 * n;
}

int SemiOctetsToDigits(const char* semiOctets, int count, char* output) {
    if (count <= 0) {
        output[0] = '\0';
        return 0;
    }
    int n = 0;
    for (int i = 0; i + 1 < count; i += 2) {
        output[n++] = semiOctets[i + 1];
        output[n++] = semiOctets[i];
    }
    if (count % 2 != 0) output[n++] = semiOctets[count - 1];  // never from the decoder
    if (n > 0 && (output[n - 1] == 'F' || output[n - 1] == 'f')) --n;
    output[n] = '\0';
    return n;
}

bool IsGsm7Ascii(char c) {
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) return true;
    return c == ' ' || c == '\n' || c == '\r' || (c >= '!' && c <= '/' && c != '$') ||
           (c >= ':' && c <= '?');
}

int Pack7Bit(const char* text, int count, uint8_t* output) {
    int octets = 0;
    uint32_t bits = 0;
    int held = 0;
    for (int i = 0; i < count; ++i) {
        bits |= static_cast<uint32_t>(static_cast<uint8_t>(text[i]) & 0x7F) << held;
        held += 7;
        while (held >= 8) {
            output[octets++] = static_cast<uint8_t>(bits & 0xFF);
            bits >>= 8;
            held -= 8;
        }
    }
    if (held > 0) output[octets++] = static_cast<uint8_t>(bits & 0xFF);
    return octets;
}

int Unpack7Bit(const uint8_t* octets, int count, char* output) {
    int n = 0;
    unsigned shift = 0;
    unsigned carry = 0;
    for (int i = 0; i < count; ++i) {
        const unsigned b = octets[i];
        output[n++] = static_cast<char>(((b << shift) | carry) & 0x7F);
        carry = b >> (7 - shift);
        if (++shift == 7) {
            output[n++] = static_cast<char>(carry & 0x7F);
            shift = 0;
            carry = 0;
        }
    }
    output[n] = '\0';
    return n;
}

int Ucs2ToText(const uint8_t* octets, int count, char* output) {
    int units = count > 0 ? count / 2 : 0;
    if (units > kMaxUcs2Units) units = kMaxUcs2Units;
    uint16_t buffer[kMaxUcs2Units];
    for (int i = 0; i < units; ++i) {
        buffer[i] = static_cast<uint16_t>((octets[2 * i] << 8) | octets[2 * i + 1]);
    }
    int n = Utf16ToAnsi(buffer, static_cast<size_t>(units), output, kMaxTextBytes);
    if (n < 0) n = 0;  // does not fit: the text stays empty
    output[n] = '\0';
    return n;
}

int Copy8Bit(const uint8_t* octets, int count, char* output) {
    if (count <= 0) {
        output[0] = '\0';
        return 0;
    }
    std::memcpy(output, octets, static_cast<size_t>(count));
    output[count] = '\0';
    return count;
}

}  // namespace kelvora
