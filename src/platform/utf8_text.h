// UTF-8 to and from UTF-16, through the platform's own converters (iconv on
// POSIX, MultiByteToWideChar and WideCharToMultiByte on Windows): the one
// UTF-8 codec of the tools (the console's terminal text, the simulator's
// control messages), beside the ANSI code page seam.
#pragma once

#include <string>

namespace kelvora {

// false for anything that is not valid UTF-8 (overlong forms, surrogates,
// cut-off sequences, beyond U+10FFFF included).
bool Utf8ToUtf16(const std::string& utf8, std::u16string* utf16);

// An unpaired surrogate becomes U+FFFD.
std::string Utf16ToUtf8(const std::u16string& utf16);

// What both bindings do first: unpaired surrogates replaced.
std::u16string PairedSurrogatesOnly(const std::u16string& utf16);

}  // namespace kelvora
