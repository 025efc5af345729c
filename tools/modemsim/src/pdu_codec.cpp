// Reading and writing of SMS PDUs (see pdu_codec.h and modemsim.h).
#include "pdu_codec.h"

#include <cctype>
#include <ctime>

#include "text_coding.h"

namespace modemsim {
namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";
constexpr char kSemiOctetDigits[] = "0123456789*#abcF";
constexpr size_t kMaxSeptets = 160;
constexpr size_t kMaxOctets = 140;

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

std::string SemiOctetsToText(const uint8_t* octets, size_t digitCount) {
    std::string out;
    for (size_t i = 0; i < digitCount; ++i) {
        const uint8_t octet = octets[i / 2];
        const uint8_t nibble = (i % 2 == 0) ? (octet & 0x0F) : (octet >> 4);
        if (nibble == 0x0F) break;  // filler
        out += kSemiOctetDigits[nibble];
    }
    return out;
}

std::vector<uint8_t> TextToSemiOctets(const std::string& digits) {
    std::vector<uint8_t> out;
    auto value = [](char c) -> uint8_t {
        switch (c) {
            case '*': return 10;
            case '#': return 11;
            case 'a': case 'A': return 12;
            case 'b': case 'B': return 13;
            case 'c': case 'C': return 14;
            default: return static_cast<uint8_t>((c >= '0' && c <= '9') ? c - '0' : 0);
        }
    };
    for (size_t i = 0; i < digits.size(); i += 2) {
        const uint8_t low = value(digits[i]);
        const uint8_t high = (i + 1 < digits.size()) ? value(digits[i + 1]) : 0x0F;
        out.push_back(static_cast<uint8_t>((high << 4) | low));
    }
    return out;
}

uint8_t SwappedBcd(int value) {
    return static_cast<uint8_t>(((value % 10) << 4) | ((value / 10) % 10));
}

// Reads an address field of TP-OA/TP-DA form (length in digits).
bool ReadAddress(const std::vector<uint8_t>& b, size_t* pos, std::string* digits, uint8_t* type,
                 std::string* error) {
    if (*pos + 2 > b.size()) {
        *error = "address cut off";
        return false;
    }
    const size_t length = b[*pos];
    *type = b[*pos + 1];
    if (length > 20) {
        *error = "address longer than 20 digits";
        return false;
    }
    const size_t octets = (length + 1) / 2;
    *pos += 2;
    if (*pos + octets > b.size()) {
        *error = "address cut off";
        return false;
    }
    if ((*type & 0x70) == 0x50) {  // alphanumeric, GSM 7-bit
        std::vector<uint8_t> packed(b.begin() + static_cast<long>(*pos), b.begin() + static_cast<long>(*pos + octets));
        *digits = Gsm7ToUtf8(UnpackSeptets(packed, length * 4 / 7));
    } else {
        *digits = SemiOctetsToText(&b[*pos], length);
    }
    *pos += octets;
    return true;
}

}  // namespace

bool HexToOctets(const std::string& hex, std::vector<uint8_t>* out) {
    out->clear();
    if (hex.size() % 2 != 0) return false;
    for (size_t i = 0; i < hex.size(); i += 2) {
        const int high = HexValue(hex[i]);
        const int low = HexValue(hex[i + 1]);
        if (high < 0 || low < 0) return false;
        out->push_back(static_cast<uint8_t>(high * 16 + low));
    }
    return true;
}

std::string OctetsToHex(const std::vector<uint8_t>& octets) {
    std::string out;
    for (uint8_t o : octets) {
        out += kHexDigits[o >> 4];
        out += kHexDigits[o & 0x0F];
    }
    return out;
}

Coding AlphabetOf(uint8_t dcs) {
    const uint8_t group = dcs >> 4;
    if ((group & 0x0C) == 0x00 || (group & 0x0C) == 0x04) {
        if (dcs & 0x20) return Coding::EightBit;  // compressed: opaque octets
        switch ((dcs >> 2) & 0x03) {
            case 1: return Coding::EightBit;
            case 2: return Coding::Ucs2;
            default: return Coding::Gsm7;
        }
    }
    if (group == 0x0E) return Coding::Ucs2;
    if (group == 0x0F) return (dcs & 0x04) ? Coding::EightBit : Coding::Gsm7;
    return Coding::Gsm7;  // 1100, 1101 and the reserved groups
}

Address AddressFromText(const std::string& text) {
    Address a;
    std::string t = text;
    if (!t.empty() && t[0] == '+') {
        a.type = 0x91;
        t.erase(0, 1);
    }
    for (char c : t) {
        if (std::isdigit(static_cast<unsigned char>(c)) || c == '*' || c == '#') a.digits += c;
    }
    return a;
}

std::string NormaliseNumber(const std::string& number, const std::string& countryCode) {
    std::string digits;
    for (char c : number) {
        if (std::isdigit(static_cast<unsigned char>(c))) digits += c;
    }
    const size_t first = number.find_first_not_of(" \t");
    const bool plus = first != std::string::npos && number[first] == '+';
    if (plus) return digits;
    if (digits.compare(0, 2, "00") == 0) return digits.substr(2);            // international prefix
    if (!digits.empty() && digits[0] == '0') return countryCode + digits.substr(1);  // trunk prefix
    if (digits.compare(0, countryCode.size(), countryCode) == 0 && digits.size() > 11) return digits;
    return countryCode + digits;  // a national number without trunk prefix
}

int TpduLength(const std::string& hex) {
    std::vector<uint8_t> b;
    if (!HexToOctets(hex, &b) || b.empty()) return -1;
    const int rest = static_cast<int>(b.size()) - 1 - b[0];
    return rest < 0 ? -1 : rest;
}

std::vector<uint8_t> TimestampOctets(SystemTime time) {
    const std::time_t t = std::chrono::system_clock::to_time_t(time);
    std::tm tm{};
    localtime_r(&t, &tm);
    const long offset = tm.tm_gmtoff;
    const int quarters = static_cast<int>((offset < 0 ? -offset : offset) / 900);
    uint8_t zone = SwappedBcd(quarters);
    if (offset < 0) zone = static_cast<uint8_t>(zone | 0x08);
    return {SwappedBcd(tm.tm_year % 100), SwappedBcd(tm.tm_mon + 1), SwappedBcd(tm.tm_mday), SwappedBcd(tm.tm_hour),
            SwappedBcd(tm.tm_min),        SwappedBcd(tm.tm_sec),     zone};
}

std::string BuildDeliver(const DeliverParts& p) {
    std::vector<uint8_t> b;
    if (p.serviceCentre.digits.empty()) {
        b.push_back(0);
    } else {
        const std::vector<uint8_t> sc = TextToSemiOctets(p.serviceCentre.digits);
        b.push_back(static_cast<uint8_t>(sc.size() + 1));
        b.push_back(p.serviceCentre.type);
        b.insert(b.end(), sc.begin(), sc.end());
    }
    // SMS-DELIVER, TP-MMS set (no more messages waiting), TP-UDHI as given.
    b.push_back(static_cast<uint8_t>(0x04 | (p.userDataHeader ? 0x40 : 0x00)));
    const std::vector<uint8_t> oa = TextToSemiOctets(p.originator.digits);
    b.push_back(static_cast<uint8_t>(p.originator.digits.size()));
    b.push_back(p.originator.type);
    b.insert(b.end(), oa.begin(), oa.end());
    b.push_back(p.protocolId);
    b.push_back(p.dataCoding);
    const std::vector<uint8_t> ts = TimestampOctets(p.time);
    b.insert(b.end(), ts.begin(), ts.end());
    b.push_back(static_cast<uint8_t>(p.userDataLength));
    b.insert(b.end(), p.userData.begin(), p.userData.end());
    return OctetsToHex(b);
}

bool EncodeDeliver(const DeliverMessage& message, std::string* hex, std::string* error) {
    auto fail = [error](const std::string& why) {
        if (error) *error = why;
        return false;
    };
    DeliverParts p;
    p.serviceCentre = AddressFromText(message.serviceCentre);
    p.originator = AddressFromText(message.sender);
    if (p.originator.digits.empty() || p.originator.digits.size() > 20) return fail("sender must have 1 to 20 digits");
    p.protocolId = message.protocolId;
    p.dataCoding = message.dataCoding != 0xFF ? message.dataCoding : static_cast<uint8_t>(message.coding);
    p.time = message.time;
    if (message.coding == Coding::EightBit) {
        if (message.text.size() > kMaxOctets) return fail("more than 140 octets");
        p.userData.assign(message.text.begin(), message.text.end());
        p.userDataLength = static_cast<int>(p.userData.size());
    } else {
        std::vector<uint32_t> cps;
        if (!Utf8ToCodePoints(message.text, &cps)) return fail("text is not UTF-8");
        if (message.coding == Coding::Ucs2) {
            p.userData = CodePointsToUcs2(cps);
            if (p.userData.size() > kMaxOctets) return fail("more than 70 UCS2 characters");
            p.userDataLength = static_cast<int>(p.userData.size());
        } else {
            std::vector<uint8_t> septets;
            if (!CodePointsToGsm7(cps, &septets)) return fail("a character has no place in the GSM 7-bit alphabet");
            if (septets.size() > kMaxSeptets) return fail("more than 160 septets");
            p.userData = PackSeptets(septets);
            p.userDataLength = static_cast<int>(septets.size());
        }
    }
    *hex = BuildDeliver(p);
    return true;
}

namespace {

bool Refuse(DecodedPdu* d, const std::string& why) {
    d->ok = false;
    d->error = why;
    return false;
}

// Everything before the user-data length: service centre, first octet,
// message reference, address, protocol identifier, coding scheme, validity
// period or time stamp. *at is left at the user-data length.
bool DecodeEnvelope(const std::vector<uint8_t>& b, size_t* at, DecodedPdu* d) {
    size_t pos = 0;
    const size_t scLength = b[pos++];
    if (scLength > 12) return Refuse(d, "service-centre address longer than 12 octets");
    if (pos + scLength > b.size()) return Refuse(d, "service-centre address cut off");
    if (scLength > 0) {
        d->serviceCentreType = b[pos];
        d->serviceCentre = SemiOctetsToText(&b[pos + 1], 2 * (scLength - 1));
    }
    pos += scLength;
    if (pos >= b.size()) return Refuse(d, "no first octet");
    d->firstOctet = b[pos++];
    const int mti = d->firstOctet & 0x03;
    if (mti != 0 && mti != 1) return Refuse(d, "neither SMS-DELIVER nor SMS-SUBMIT");
    d->isSubmit = mti == 1;
    if (d->isSubmit) {
        if (pos >= b.size()) return Refuse(d, "no message reference");
        d->messageReference = b[pos++];
    }
    if (!ReadAddress(b, &pos, &d->address, &d->addressType, &d->error)) return false;
    if (pos + 2 > b.size()) return Refuse(d, "no protocol identifier or coding scheme");
    d->protocolId = b[pos++];
    d->dataCoding = b[pos++];
    d->alphabet = AlphabetOf(d->dataCoding);
    if (d->isSubmit) {
        d->validityPeriodFormat = (d->firstOctet >> 3) & 0x03;
        const size_t vpOctets = d->validityPeriodFormat == 0 ? 0 : (d->validityPeriodFormat == 2 ? 1 : 7);
        if (pos + vpOctets > b.size()) return Refuse(d, "validity period cut off");
        d->validityPeriod.assign(b.begin() + static_cast<long>(pos), b.begin() + static_cast<long>(pos + vpOctets));
        pos += vpOctets;
    } else {
        if (pos + 7 > b.size()) return Refuse(d, "time stamp cut off");
        for (size_t i = 0; i < 7; ++i) {
            d->timestamp += kHexDigits[b[pos + i] & 0x0F];
            d->timestamp += kHexDigits[b[pos + i] >> 4];
        }
        pos += 7;
    }
    *at = pos;
    return true;
}

// The user-data length and what follows it, to the last octet: the header
// when there is one, and the text in the message's coding.
bool DecodeUserData(const std::vector<uint8_t>& b, size_t pos, DecodedPdu* d) {
    if (pos >= b.size()) return Refuse(d, "no user-data length");
    d->userDataLength = b[pos++];
    const size_t udl = static_cast<size_t>(d->userDataLength);
    size_t octets;
    if (d->alphabet == Coding::Gsm7) {
        if (udl > kMaxSeptets) return Refuse(d, "user-data length above 160 septets");
        octets = (udl * 7 + 7) / 8;
    } else {
        if (udl > kMaxOctets) return Refuse(d, "user-data length above 140 octets");
        octets = udl;
    }
    if (b.size() - pos < octets) return Refuse(d, "user data shorter than its length");
    if (b.size() - pos > octets) return Refuse(d, "octets after the user data");
    d->userData.assign(b.begin() + static_cast<long>(pos), b.end());
    size_t headerOctets = 0;
    if (d->firstOctet & 0x40) {
        if (d->userData.empty() || static_cast<size_t>(d->userData[0]) + 1 > d->userData.size())
            return Refuse(d, "user-data header longer than the user data");
        headerOctets = d->userData[0] + 1u;
        d->userDataHeader.assign(d->userData.begin() + 1, d->userData.begin() + static_cast<long>(headerOctets));
    }
    if (d->alphabet == Coding::Gsm7) {
        const size_t headerSeptets = (headerOctets * 8 + 6) / 7;
        if (headerSeptets > udl) return Refuse(d, "user-data header longer than the user data");
        std::vector<uint8_t> septets = UnpackSeptets(d->userData, udl - headerSeptets, headerSeptets * 7);
        d->text = Gsm7ToUtf8(septets);
    } else if (d->alphabet == Coding::Ucs2) {
        d->text = Ucs2ToUtf8(d->userData.data() + headerOctets, d->userData.size() - headerOctets);
    } else {
        d->text.assign(d->userData.begin() + static_cast<long>(headerOctets), d->userData.end());
    }
    return true;
}

}  // namespace

DecodedPdu DecodePdu(const std::string& hex) {
    DecodedPdu d;
    std::vector<uint8_t> b;
    size_t pos = 0;
    if (!HexToOctets(hex, &b)) {
        Refuse(&d, "not hexadecimal octets");
    } else if (b.empty()) {
        Refuse(&d, "empty");
    } else if (DecodeEnvelope(b, &pos, &d) && DecodeUserData(b, pos, &d)) {
        d.ok = true;
    }
    return d;
}

}  // namespace modemsim
