// The ANSI code page on Windows: CP_ACP through MultiByteToWideChar and
// WideCharToMultiByte (936 under a Chinese system locale).
#include "platform/code_page.h"

#include <windows.h>

#include <climits>

namespace kelvora {

int AnsiToUtf16(const char* text, size_t byteCount, uint16_t* units, size_t capacity) {
    if (byteCount == 0) return 0;
    if (byteCount > INT_MAX || capacity == 0) return -1;
    const int cap = capacity > INT_MAX ? INT_MAX : static_cast<int>(capacity);
    const int n = ::MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, text, static_cast<int>(byteCount),
                                        reinterpret_cast<wchar_t*>(units), cap);
    return n > 0 ? n : -1;
}

int Utf16ToAnsi(const uint16_t* units, size_t count, char* text, size_t capacity) {
    if (count == 0) return 0;
    if (count > INT_MAX || capacity == 0) return -1;
    const int cap = capacity > INT_MAX ? INT_MAX : static_cast<int>(capacity);
    const int n = ::WideCharToMultiByte(CP_ACP, 0, reinterpret_cast<const wchar_t*>(units),
                                        static_cast<int>(count), text, cap, nullptr, nullptr);
    return n > 0 ? n : -1;
}

}  // namespace kelvora
