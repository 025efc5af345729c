// Register texts through the driver's code page seam, and the meanings of the
// driver's status texts (see the header).
#include "driver_text.h"

#include <cstdint>
#include <cstring>
#include <vector>

#include "driver/driver_status.h"
#include "platform/code_page.h"
#include "platform/utf8_text.h"

namespace kelvora_host {

bool Utf8ToDriverText(const std::string& utf8, std::string* ansi) {
    ansi->clear();
    std::u16string wide;
    if (!kelvora::Utf8ToUtf16(utf8, &wide)) return false;
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
    return kelvora::Utf16ToUtf8(std::u16string(units.begin(), units.begin() + n));
}

int StatusCodeOfText(const char* gbk) {
    if (gbk == nullptr) return -1;
    for (uint32_t code = kelvora::kStatusOk; code < kelvora::kStatusCustom; ++code) {
        kelvora::DriverStatus status;
        status.SetCode(code);
        if (std::strcmp(gbk, status.Text(false)) == 0) return static_cast<int>(code);
    }
    return -1;
}

std::string DescribeStatusText(const char* gbk) {
    if (gbk == nullptr) return "(no status text)";
    const std::string text = kelvora::Utf16ToUtf8(GbkToUtf16(gbk));
    const int code = StatusCodeOfText(gbk);
    if (code > 0) return text + " (" + kelvora::StatusMeaning(static_cast<uint32_t>(code)) + ")";
    return text.empty() ? "(empty status text)" : text;
}

}  // namespace kelvora_host
