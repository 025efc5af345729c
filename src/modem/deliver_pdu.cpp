// SMS-DELIVER decoding (TS 23.040 9.2.2.1 with the TS 27.005 service-centre
// prefix). The coding scheme is compared with 0 (7-bit) and 8 (UCS2) only;
// everything else is taken as 8-bit data, as the peers expect. Neither the
// message type nor a user-data header is interpreted.
#include "modem/deliver_pdu.h"

#include <cstdint>
#include <cstring>

#include "modem/pdu_codecs.h"

namespace kelvora {
namespace {

constexpr uint8_t kCodingSevenBit = 0x00;
constexpr uint8_t kCodingUcs2 = 0x08;
constexpr int kTimestampCharacters = 14;

// Reads fields off the PDU text, never past its end: a field that is not all
// there gives what is there (whole octets only), then nothing.
class PduReader {
public:
    PduReader(const char* hex, size_t length) : p_(hex) {
        size_t n = 0;
        while (n < length && IsHexDigit(hex[n])) ++n;
        left_ = n;
    }

    uint8_t Octet() {
        if (left_ < 2) {
            left_ = 0;
            return 0;
        }
        uint8_t value = 0;
        HexToBytes(p_, 2, &value);
        Skip(2);
        return value;
    }

    // Up to characters characters (made even); sets start and returns how many.
    int Take(int characters, const char*& start) {
        size_t n = static_cast<size_t>(characters);
        if (n > left_) n = left_;
        n &= ~static_cast<size_t>(1);
        start = p_;
        Skip(n);
        return static_cast<int>(n);
    }

private:
    void Skip(size_t n) {
        p_ += n;
        left_ -= n;
    }
    const char* p_;
    size_t left_;
};

// Copies at most width - 1 bytes of a NUL-terminated text into a field.
void CopyToField(const char* text, char* field, size_t width) {
    const size_t n = strnlen(text, width - 1);
    std::memcpy(field, text, n);
    field[n] = '\0';
}

void ReadNumber(PduReader& reader, int characters, char* field, size_t width) {
    const char* start = nullptr;
    const int n = reader.Take(characters, start);
    char digits[2 * 255 + 2];
    SemiOctetsToDigits(start, n, digits);
    CopyToField(digits, field, width);
}

void ReadUserData(PduReader& reader, uint8_t codingScheme, int udl, SmsRecord& record) {
    // 7-bit: UDL counts septets in ceil(7 * UDL / 8) octets; otherwise octets.
    const int octetCount = codingScheme == kCodingSevenBit ? (7 * udl + 7) / 8 : udl;
    const char* start = nullptr;
    const int characters = reader.Take(2 * octetCount, start);
    uint8_t octets[256];
    const int n = HexToBytes(start, characters, octets);

    char text[256 + 256 / 7 + 1];
    if (codingScheme == kCodingSevenBit) {
        int septets = Unpack7Bit(octets, n, text);
        // The filler bits of a last octet are not a character.
        if (septets > udl) septets = udl;
        text[septets] = '\0';
    } else if (codingScheme == kCodingUcs2) {
        Ucs2ToText(octets, n, text);
    } else {
        Copy8Bit(octets, n, text);
    }
    CopyToField(text, record.text, sizeof record.text);
}

}  // namespace

void DecodeDeliverPdu(const char* hex, size_t length, SmsRecord& record) {
    const int32_t index = record.index;
    std::memset(&record, 0, sizeof record);
    record.index = index;

    PduReader reader(hex, length);
    const int serviceCentreLength = reader.Octet();
    if (serviceCentreLength > 0) {
        reader.Octet();  // type of address, not interpreted
        ReadNumber(reader, 2 * (serviceCentreLength - 1), record.serviceCentre, sizeof record.serviceCentre);
    }
    reader.Octet();  // first octet, not interpreted
    int addressDigits = reader.Octet();
    addressDigits += addressDigits % 2;
    record.peerTypeOfAddress = reader.Octet();
    ReadNumber(reader, addressDigits, record.peerNumber, sizeof record.peerNumber);
    record.protocolId = reader.Octet();
    record.codingScheme = reader.Octet();
    ReadNumber(reader, kTimestampCharacters, record.timestamp, sizeof record.timestamp);
    const int udl = reader.Octet();
    ReadUserData(reader, record.codingScheme, udl, record);
}

void DecodeDeliverPdu(const char* hex, SmsRecord& record) {
    DecodeDeliverPdu(hex, static_cast<size_t>(-1), record);
}

}  // namespace kelvora
