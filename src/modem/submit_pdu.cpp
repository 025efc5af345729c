// SMS-SUBMIT encoding (TS 23.040 9.2.2.2 with the TS 27.005 service-centre
// prefix): fixed first octet 0x11, message reference 0, international numbers,
// relative validity period 0, and user data in UCS2 or, for texts of the
// characters the GSM 7-bit default alphabet shares with ASCII, in 7-bit.
#include "modem/submit_pdu.h"

#include <cstdint>
#include <cstring>

#include "modem/pdu_codecs.h"

namespace kelvora {
namespace {

constexpr uint8_t kTypeInternational = 0x91;
constexpr uint8_t kFirstOctetSubmit = 0x11;  // TP-MTI 01, TP-VPF 10 (relative)
constexpr uint8_t kMessageReference = 0x00;
constexpr uint8_t kValidityPeriod = 0x00;
constexpr uint8_t kCodingSevenBit = 0x00;
constexpr int kMaxSeptets = 160;
static_assert((kValidityPeriod + 1) * 5 * 60 == kMessageValiditySeconds, "TP-VP 0 to 143: (VP + 1) x 5 minutes");

// Length of a NUL-terminated field, never past its width less the NUL.
int FieldLength(const char* field, size_t width) {
    return static_cast<int>(strnlen(field, width - 1));
}

// Semi-octets carry the characters as they stand: anything but a decimal
// digit would put a character that is no hexadecimal digit into the PDU, or
// a different number ('A' to 'E' are "*", "#", "a", "b", "c"; 'F' a filler).
bool AllDecimalDigits(const char* number, int length) {
    for (int i = 0; i < length; ++i) {
        if (number[i] < '0' || number[i] > '9') return false;
    }
    return true;
}

class HexWriter {
public:
    explicit HexWriter(char* output) : out_(output) {}
    void Octet(uint8_t value) { pos_ += BytesToHex(&value, 1, out_ + pos_); }
    void Octets(const uint8_t* values, int count) { pos_ += BytesToHex(values, count, out_ + pos_); }
    void SemiOctets(const char* digits, int count) { pos_ += DigitsToSemiOctets(digits, count, out_ + pos_); }
    int Length() const { return pos_; }

private:
    char* out_;
    int pos_ = 0;
};

// UCS2 user data: TP-DCS must say so (TS 23.038): the
// general data coding groups 00xx and 01xx, uncompressed, alphabet bits 10
// (0x08 and its variants with a message class or automatic deletion), or the
// message-waiting group 1110. Another value would have the peer read the
// octets as 7-bit or 8-bit data.
bool SelectsUcs2(uint8_t codingScheme) {
    return (codingScheme & 0xAC) == 0x08 || (codingScheme & 0xF0) == 0xE0;
}

// 7-bit user data: every character one the default alphabet shares with
// ASCII, 160 at the most. The octets into userData; TP-UDL counts septets.
bool SevenBitUserData(const char* text, int length, uint8_t* userData, int* octets) {
    if (length > kMaxSeptets) return false;
    for (int i = 0; i < length; ++i) {
        if (!IsGsm7Ascii(text[i])) return false;
    }
    *octets = Pack7Bit(text, length, userData);
    return true;
}

}  // namespace

int EncodeSubmitPdu(const SmsRecord& record, char* output) {
    output[0] = '\0';
    const bool sevenBit = record.codingScheme == kCodingSevenBit;
    if (!sevenBit && !SelectsUcs2(record.codingScheme)) return 0;
    uint8_t userData[2 * kMaxUcs2Units];
    const int textBytes = FieldLength(record.text, sizeof record.text);
    int octets = 0;
    int userDataLength = 0;
    if (sevenBit) {
        if (!SevenBitUserData(record.text, textBytes, userData, &octets)) return 0;
        userDataLength = textBytes;
    } else {
        octets = userDataLength = TextToUcs2(record.text, textBytes, userData);
        // A text that converts to nothing (too long, or broken) is not sent as an empty message.
        if (userDataLength > kMaxUserDataOctets || (textBytes > 0 && userDataLength == 0)) return 0;
    }

    const int d = FieldLength(record.serviceCentre, sizeof record.serviceCentre);
    const int p = FieldLength(record.peerNumber, sizeof record.peerNumber);
    if (!AllDecimalDigits(record.serviceCentre, d) || !AllDecimalDigits(record.peerNumber, p)) return 0;

    HexWriter out(output);
    out.Octet(static_cast<uint8_t>((d + 1) / 2 + 1));
    out.Octet(kTypeInternational);
    out.SemiOctets(record.serviceCentre, d);
    out.Octet(kFirstOctetSubmit);
    out.Octet(kMessageReference);
    out.Octet(static_cast<uint8_t>(p));
    out.Octet(kTypeInternational);
    out.SemiOctets(record.peerNumber, p);
    out.Octet(record.protocolId);
    out.Octet(record.codingScheme);
    out.Octet(kValidityPeriod);
    out.Octet(static_cast<uint8_t>(userDataLength));
    out.Octets(userData, octets);
    return out.Length();
}

}  // namespace kelvora
