// PDU helpers for the station tests (see the header).
#include "deliver_pdu.h"

#include <cstdint>
#include <cstdio>
#include <vector>

namespace kelvora::testing {

namespace {

void PutOctet(std::string& out, unsigned octet) {
    char hex[3];
    std::snprintf(hex, sizeof hex, "%02X", octet & 0xFFu);
    out += hex;
}

std::string SwappedDigits(std::string digits) {
    if (digits.size() % 2 != 0) digits += 'F';
    std::string out;
    for (size_t i = 0; i < digits.size(); i += 2) {
        out += digits[i + 1];
        out += digits[i];
    }
    return out;
}

// GSM 7-bit packing (TS 23.038), least significant bits first; ASCII
// letters and digits have the same septet values.
std::vector<uint8_t> Pack7Bit(const std::string& text) {
    std::vector<uint8_t> out;
    unsigned acc = 0, bits = 0;
    for (unsigned char c : text) {
        acc |= (c & 0x7Fu) << bits;
        bits += 7;
        while (bits >= 8) {
            out.push_back(static_cast<uint8_t>(acc & 0xFFu));
            acc >>= 8;
            bits -= 8;
        }
    }
    if (bits > 0) out.push_back(static_cast<uint8_t>(acc & 0xFFu));
    return out;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

struct HexReader {
    const std::string& hex;
    size_t pos = 0;
    bool ok = true;
    int Octet() {
        if (pos + 2 > hex.size()) {
            ok = false;
            return 0;
        }
        const int hi = HexValue(hex[pos]), lo = HexValue(hex[pos + 1]);
        pos += 2;
        if (hi < 0 || lo < 0) {
            ok = false;
            return 0;
        }
        return hi * 16 + lo;
    }
    std::string Digits(int octets) {
        std::string digits;
        for (int i = 0; i < octets && ok; ++i) {
            const int o = Octet();
            digits += static_cast<char>("0123456789ABCDEF"[o & 0xF]);
            digits += static_cast<char>("0123456789ABCDEF"[o >> 4]);
        }
        if (!digits.empty() && digits.back() == 'F') digits.pop_back();
        return digits;
    }
};

}  // namespace

std::string DeliverPdu(const std::string& sender, const std::string& text, bool alphanumeric,
                       const std::string& timestamp) {
    std::string pdu;
    const std::string sc = "8613800100500";
    PutOctet(pdu, static_cast<unsigned>((sc.size() + 1) / 2 + 1));
    PutOctet(pdu, 0x91);
    pdu += SwappedDigits(sc);
    PutOctet(pdu, 0x04);  // SMS-DELIVER, no more messages waiting
    if (alphanumeric) {
        const std::vector<uint8_t> packed = Pack7Bit(sender);
        PutOctet(pdu, static_cast<unsigned>((sender.size() * 7 + 3) / 4));  // useful semi-octets
        PutOctet(pdu, 0xD0);
        for (uint8_t o : packed) PutOctet(pdu, o);
    } else {
        PutOctet(pdu, static_cast<unsigned>(sender.size()));
        PutOctet(pdu, 0x91);
        pdu += SwappedDigits(sender);
    }
    PutOctet(pdu, 0x00);        // TP-PID
    // What does not fit 70 UCS2 characters (a signed report) comes in 7-bit.
    const bool sevenBit = text.size() > 70;
    PutOctet(pdu, sevenBit ? 0x00 : 0x08);  // TP-DCS
    pdu += SwappedDigits(timestamp);
    if (sevenBit) {
        PutOctet(pdu, static_cast<unsigned>(text.size()));  // septets
        for (uint8_t o : Pack7Bit(text)) PutOctet(pdu, o);
        return pdu;
    }
    PutOctet(pdu, static_cast<unsigned>(text.size() * 2));
    for (unsigned char c : text) {
        PutOctet(pdu, 0x00);
        PutOctet(pdu, c);
    }
    return pdu;
}

SubmittedSms ReadSubmitPdu(const std::string& hex) {
    SubmittedSms sms;
    HexReader r{hex};
    const int scLength = r.Octet();
    if (scLength > 0) {
        r.Octet();  // type of address
        sms.serviceCentre = r.Digits(scLength - 1);
    }
    const int first = r.Octet();
    r.Octet();  // TP-MR
    const int daDigits = r.Octet();
    r.Octet();  // type of address
    sms.destination = r.Digits((daDigits + 1) / 2);
    r.Octet();  // TP-PID
    const int dcs = r.Octet();
    if ((first & 0x18) == 0x10) r.Octet();  // relative validity period
    const int udl = r.Octet();
    if (dcs == 0x00) {  // 7-bit: UDL counts septets, packed least significant bits first
        unsigned acc = 0, bits = 0;
        for (int i = 0; i < (udl * 7 + 7) / 8 && r.ok; ++i) {
            acc |= static_cast<unsigned>(r.Octet()) << bits;
            for (bits += 8; bits >= 7 && static_cast<int>(sms.text.size()) < udl; bits -= 7, acc >>= 7) {
                sms.text += static_cast<char>(acc & 0x7Fu);
            }
        }
        sms.ok = r.ok && r.pos == hex.size() && static_cast<int>(sms.text.size()) == udl;
        return sms;
    }
    if (dcs != 0x08 || udl % 2 != 0) return sms;
    for (int i = 0; i < udl / 2 && r.ok; ++i) {
        const int hi = r.Octet(), lo = r.Octet();
        sms.text += (hi == 0 && lo < 0x80) ? static_cast<char>(lo) : '?';
    }
    sms.ok = r.ok && r.pos == hex.size();
    return sms;
}

}  // namespace kelvora::testing
