// Text codings of SMS user data (see text_coding.h).
#include "text_coding.h"

#include <array>

#include "platform/utf8_text.h"

namespace modemsim {
namespace {

// The default alphabet, septet -> code point. 0x1B is the escape to the
// extension table; it stands for nothing by itself (read as a space).
constexpr std::array<uint16_t, 128> kGsm7 = {
    0x0040, 0x00A3, 0x0024, 0x00A5, 0x00E8, 0x00E9, 0x00F9, 0x00EC, 0x00F2, 0x00C7, 0x000A, 0x00D8, 0x00F8, 0x000D,
    0x00C5, 0x00E5, 0x0394, 0x005F, 0x03A6, 0x0393, 0x039B, 0x03A9, 0x03A0, 0x03A8, 0x03A3, 0x0398, 0x039E, 0x0020,
    0x00C6, 0x00E6, 0x00DF, 0x00C9, 0x0020, 0x0021, 0x0022, 0x0023, 0x00A4, 0x0025, 0x0026, 0x0027, 0x0028, 0x0029,
    0x002A, 0x002B, 0x002C, 0x002D, 0x002E, 0x002F, 0x0030, 0x0031, 0x0032, 0x0033, 0x0034, 0x0035, 0x0036, 0x0037,
    0x0038, 0x0039, 0x003A, 0x003B, 0x003C, 0x003D, 0x003E, 0x003F, 0x00A1, 0x0041, 0x0042, 0x0043, 0x0044, 0x0045,
    0x0046, 0x0047, 0x0048, 0x0049, 0x004A, 0x004B, 0x004C, 0x004D, 0x004E, 0x004F, 0x0050, 0x0051, 0x0052, 0x0053,
    0x0054, 0x0055, 0x0056, 0x0057, 0x0058, 0x0059, 0x005A, 0x00C4, 0x00D6, 0x00D1, 0x00DC, 0x00A7, 0x00BF, 0x0061,
    0x0062, 0x0063, 0x0064, 0x0065, 0x0066, 0x0067, 0x0068, 0x0069, 0x006A, 0x006B, 0x006C, 0x006D, 0x006E, 0x006F,
    0x0070, 0x0071, 0x0072, 0x0073, 0x0074, 0x0075, 0x0076, 0x0077, 0x0078, 0x0079, 0x007A, 0x00E4, 0x00F6, 0x00F1,
    0x00FC, 0x00E0};

struct Extension {
    uint8_t septet;
    uint16_t codePoint;
};
constexpr std::array<Extension, 10> kExtension = {{{0x0A, 0x000C},
                                                    {0x14, 0x005E},
                                                    {0x28, 0x007B},
                                                    {0x29, 0x007D},
                                                    {0x2F, 0x005C},
                                                    {0x3C, 0x005B},
                                                    {0x3D, 0x007E},
                                                    {0x3E, 0x005D},
                                                    {0x40, 0x007C},
                                                    {0x65, 0x20AC}}};
constexpr uint8_t kEscape = 0x1B;

}  // namespace

bool Utf8ToCodePoints(const std::string& utf8, std::vector<uint32_t>* out) {
    out->clear();
    std::u16string units;
    if (!kelvora::Utf8ToUtf16(utf8, &units)) return false;
    for (size_t i = 0; i < units.size(); ++i) {
        uint32_t cp = units[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < units.size()) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (units[++i] - 0xDC00u);
        }
        out->push_back(cp);
    }
    return true;
}

std::string CodePointsToUtf8(const std::vector<uint32_t>& codePoints) {
    std::u16string units;
    for (uint32_t cp : codePoints) {
        if (cp >= 0x10000 && cp <= 0x10FFFF) {
            cp -= 0x10000;
            units.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            units.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            units.push_back(static_cast<char16_t>(cp <= 0xFFFF ? cp : 0xFFFD));
        }
    }
    return kelvora::Utf16ToUtf8(units);
}

bool CodePointsToGsm7(const std::vector<uint32_t>& codePoints, std::vector<uint8_t>* septets) {
    septets->clear();
    for (uint32_t cp : codePoints) {
        bool found = false;
        for (size_t s = 0; s < kGsm7.size(); ++s) {
            if (s != kEscape && kGsm7[s] == cp) {
                septets->push_back(static_cast<uint8_t>(s));
                found = true;
                break;
            }
        }
        if (found) continue;
        for (const Extension& e : kExtension) {
            if (e.codePoint == cp) {
                septets->push_back(kEscape);
                septets->push_back(e.septet);
                found = true;
                break;
            }
        }
        if (!found) return false;
    }
    return true;
}

std::string Gsm7ToUtf8(const std::vector<uint8_t>& septets) {
    std::vector<uint32_t> cps;
    for (size_t i = 0; i < septets.size(); ++i) {
        const uint8_t s = septets[i] & 0x7F;
        if (s == kEscape && i + 1 < septets.size()) {
            const uint8_t next = septets[++i] & 0x7F;
            uint32_t cp = kGsm7[next];  // an unknown extension reads as the basic character
            for (const Extension& e : kExtension) {
                if (e.septet == next) cp = e.codePoint;
            }
            cps.push_back(cp);
        } else {
            cps.push_back(kGsm7[s]);
        }
    }
    return CodePointsToUtf8(cps);
}

std::vector<uint8_t> PackSeptets(const std::vector<uint8_t>& septets, unsigned fillBits) {
    const size_t bits = fillBits + 7 * septets.size();
    std::vector<uint8_t> out((bits + 7) / 8, 0);
    size_t bit = fillBits;
    for (uint8_t s : septets) {
        for (int k = 0; k < 7; ++k, ++bit) {
            if (s & (1u << k)) out[bit / 8] = static_cast<uint8_t>(out[bit / 8] | (1u << (bit % 8)));
        }
    }
    return out;
}

std::vector<uint8_t> UnpackSeptets(const std::vector<uint8_t>& octets, size_t count, size_t startBit) {
    std::vector<uint8_t> out;
    size_t bit = startBit;
    for (size_t i = 0; i < count; ++i) {
        uint8_t s = 0;
        for (int k = 0; k < 7; ++k, ++bit) {
            if (bit / 8 >= octets.size()) return out;
            if (octets[bit / 8] & (1u << (bit % 8))) s = static_cast<uint8_t>(s | (1u << k));
        }
        out.push_back(s);
    }
    return out;
}

std::vector<uint8_t> CodePointsToUcs2(const std::vector<uint32_t>& codePoints) {
    std::vector<uint8_t> out;
    auto unit = [&out](uint32_t u) {
        out.push_back(static_cast<uint8_t>(u >> 8));
        out.push_back(static_cast<uint8_t>(u & 0xFF));
    };
    for (uint32_t cp : codePoints) {
        if (cp >= 0x10000) {
            const uint32_t v = cp - 0x10000;
            unit(0xD800 | (v >> 10));
            unit(0xDC00 | (v & 0x3FF));
        } else {
            unit(cp);
        }
    }
    return out;
}

std::string Ucs2ToUtf8(const uint8_t* octets, size_t count) {
    std::vector<uint32_t> cps;
    for (size_t i = 0; i + 1 < count; i += 2) {
        uint32_t u = (static_cast<uint32_t>(octets[i]) << 8) | octets[i + 1];
        if (u >= 0xD800 && u <= 0xDBFF && i + 3 < count) {
            const uint32_t low = (static_cast<uint32_t>(octets[i + 2]) << 8) | octets[i + 3];
            if (low >= 0xDC00 && low <= 0xDFFF) {
                u = 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00);
                i += 2;
            }
        }
        if (u >= 0xD800 && u <= 0xDFFF) u = 0xFFFD;  // a lone surrogate
        cps.push_back(u);
    }
    return CodePointsToUtf8(cps);
}

}  // namespace modemsim
