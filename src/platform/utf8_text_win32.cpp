// UTF-8 on Windows: the system's CP_UTF8 conversions.
#include <windows.h>

#include "platform/utf8_text.h"

namespace kelvora {

bool Utf8ToUtf16(const std::string& utf8, std::u16string* utf16) {
    utf16->clear();
    if (utf8.empty()) return true;
    const int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), static_cast<int>(utf8.size()),
                                      nullptr, 0);
    if (n <= 0) return false;
    utf16->resize(static_cast<size_t>(n));
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), static_cast<int>(utf8.size()),
                        reinterpret_cast<wchar_t*>(&(*utf16)[0]), n);
    return true;
}

std::string Utf16ToUtf8(const std::u16string& utf16) {
    const std::u16string paired = PairedSurrogatesOnly(utf16);
    if (paired.empty()) return std::string();
    const wchar_t* wide = reinterpret_cast<const wchar_t*>(paired.data());
    const int count = static_cast<int>(paired.size());
    const int n = WideCharToMultiByte(CP_UTF8, 0, wide, count, nullptr, 0, nullptr, nullptr);
    if (n <= 0) return std::string();
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide, count, &out[0], n, nullptr, nullptr);
    return out;
}

}  // namespace kelvora
