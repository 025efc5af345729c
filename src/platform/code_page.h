// The ANSI code page seam: single-byte (or double-byte) text of the platform's
// ANSI code page to and from UTF-16. Windows uses CP_ACP (936 under a Chinese
// locale); POSIX uses GBK through iconv.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kelvora {

// Converts byteCount bytes of ANSI text (no terminator needed) to UTF-16 code
// units. Returns the number of units written, 0 for empty input, or -1 when
// the text does not convert or needs more than capacity units.
int AnsiToUtf16(const char* text, size_t byteCount, uint16_t* units, size_t capacity);

// Converts count UTF-16 code units to ANSI text. Characters the code page
// lacks become its default character ('?'). Returns the number of bytes
// written (no terminator is written), 0 for empty input, or -1 when the result
// needs more than capacity bytes.
int Utf16ToAnsi(const uint16_t* units, size_t count, char* text, size_t capacity);

}  // namespace kelvora
