// UTF-8/UTF-16 conversion, register texts through the driver's code page
// seam, and the English meanings of the driver's status texts.
#include "console_text.h"

#include <cstdint>
#include <cstring>

#include "platform/code_page.h"

namespace kelvora_host {

bool Utf8ToUtf16(const std::string& utf8, std::u16string* utf16) {
    utf16->clear();
    size_t i = 0;
    while (i < utf8.size()) {
        const unsigned char lead = static_cast<unsigned char>(utf8[i]);
        uint32_t cp = 0;
        size_t extra = 0;
        if (lead < 0x80) {
            cp = lead;
        } else if ((lead & 0xE0) == 0xC0) {
            cp = lead & 0x1F;
            extra = 1;
        } else if ((lead & 0xF0) == 0xE0) {
            cp = lead & 0x0F;
            extra = 2;
        } else if ((lead & 0xF8) == 0xF0) {
            cp = lead & 0x07;
            extra = 3;
        } else {
            return false;
        }
        if (i + extra >= utf8.size() && extra > 0) return false;
        for (size_t k = 1; k <= extra; ++k) {
            const unsigned char c = static_cast<unsigned char>(utf8[i + k]);
            if ((c & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (c & 0x3F);
        }
        static const uint32_t kMinimum[4] = {0, 0x80, 0x800, 0x10000};
        if (cp < kMinimum[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            utf16->push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            utf16->push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            utf16->push_back(static_cast<char16_t>(cp));
        }
        i += extra + 1;
    }
    return true;
}

std::string Utf16ToUtf8(const std::u16string& utf16) {
    std::string out;
    for (size_t i = 0; i < utf16.size(); ++i) {
        uint32_t cp = utf16[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < utf16.size() && utf16[i + 1] >= 0xDC00 &&
            utf16[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (utf16[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = 0xFFFD;
        }
        if (cp < 0x80) {
            out.push_back(static_cast<char>(cp));
        } else if (cp < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }
    return out;
}

bool Utf8ToDriverText(const std::string& utf8, std::string* ansi) {
    ansi->clear();
    std::u16string wide;
    if (!Utf8ToUtf16(utf8, &wide)) return false;
    if (wide.empty()) return true;
    std::string buffer(wide.size() * 4 + 4, '\0');
    std::vector<uint16_t> units(wide.begin(), wide.end());
    const int n = kelvora::Utf16ToAnsi(units.data(), units.size(), &buffer[0], buffer.size());
    if (n < 0) return false;
    buffer.resize(static_cast<size_t>(n));
    // A character the code page lacks comes back as '?': refuse rather than
    // store a text the user did not write.
    size_t questionMarks = 0;
    for (char16_t c : wide) questionMarks += (c == u'?');
    size_t converted = 0;
    for (char c : buffer) converted += (c == '?');
    if (converted != questionMarks) return false;
    *ansi = buffer;
    return true;
}

std::string DriverTextToUtf8(const char* ansi, size_t maxBytes) {
    size_t length = 0;
    while (length < maxBytes && ansi[length] != '\0') ++length;
    if (length == 0) return std::string();
    std::vector<uint16_t> units(length + 1);
    const int n = kelvora::AnsiToUtf16(ansi, length, units.data(), units.size());
    if (n < 0) {
        // Not valid in the code page: show the bytes as they are, escaped.
        std::string out;
        for (size_t i = 0; i < length; ++i) {
            const unsigned char c = static_cast<unsigned char>(ansi[i]);
            if (c < 0x80) {
                out.push_back(static_cast<char>(c));
            } else {
                static const char kHex[] = "0123456789ABCDEF";
                out += "\\x";
                out.push_back(kHex[c >> 4]);
                out.push_back(kHex[c & 15]);
            }
        }
        return out;
    }
    return Utf16ToUtf8(std::u16string(units.begin(), units.begin() + n));
}

namespace {

// The driver's status texts in UTF-8, by status code, with their meanings.
const struct {
    const char* text;
    const char* meaning;
} kStatusTexts[] = {
    {"OK", nullptr},
    {"\xE5\x88\x9D\xE5\xA7\x8B\xE5\x8C\x96\xE8\xAE\xBE\xE5\xA4\x87\xE9\x94\x99\xE8\xAF\xAF!",
     "device initialisation failed"},
    {"\xE9\x94\x99\xE8\xAF\xAF\xE7\x9A\x84\xE8\xAE\xBE\xE5\xA4\x87\xE5\x9C\xB0\xE5\x9D\x80!",
     "wrong device address"},
    {"\xE4\xB8\x8D\xE6\x94\xAF\xE6\x8C\x81\xE8\xAF\xA5\xE5\xAF\x84\xE5\xAD\x98\xE5\x99\xA8!",
     "register not supported"},
    {"\xE9\x94\x99\xE8\xAF\xAF\xE7\x9A\x84\xE6\x95\xB0\xE6\x8D\xAE\xE7\xB1\xBB\xE5\x9E\x8B!",
     "wrong data type"},
    {"\xE8\xAF\xBB\xE8\xAE\xBE\xE5\xA4\x87\xE9\x94\x99\xE8\xAF\xAF!", "device read error"},
    {"\xE5\x86\x99\xE8\xAE\xBE\xE5\xA4\x87\xE9\x94\x99\xE8\xAF\xAF!", "device write error"},
    {"\xE8\xAE\xBE\xE5\xA4\x87\xE8\xB6\x85\xE6\x97\xB6\xE4\xB8\x8D\xE5\x93\x8D\xE5\xBA\x94!",
     "device timed out"},
    {"\xE6\x9C\xAA\xE7\x9F\xA5\xE9\x94\x99\xE8\xAF\xAF!", "unknown error"},
};

int StatusCodeOfUtf8(const std::string& text) {
    for (size_t code = 0; code < sizeof(kStatusTexts) / sizeof(kStatusTexts[0]); ++code) {
        if (text == kStatusTexts[code].text) return static_cast<int>(code);
    }
    return -1;
}

}  // namespace

int StatusCodeOfText(const char* gbk) {
    return gbk == nullptr ? -1 : StatusCodeOfUtf8(Utf16ToUtf8(GbkToUtf16(gbk)));
}

std::string DescribeStatusText(const char* gbk) {
    if (gbk == nullptr) return "(no status text)";
    const std::string text = Utf16ToUtf8(GbkToUtf16(gbk));
    const int code = StatusCodeOfUtf8(text);
    if (code >= 0 && kStatusTexts[code].meaning != nullptr) return text + " (" + kStatusTexts[code].meaning + ")";
    return text.empty() ? "(empty status text)" : text;
}

}  // namespace kelvora_host
