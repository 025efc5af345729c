// The driver's texts at the console: register texts between the user's
// UTF-8 and the driver's ANSI code page, and the driver's status texts (GBK
// bytes) with their meanings, read from the driver's own table.
#pragma once

#include <cstddef>
#include <string>

namespace kelvora_host {

// Register texts: UTF-8 to the driver's ANSI code page and back. false when
// the text has no form in the code page.
bool Utf8ToDriverText(const std::string& utf8, std::string* ansi);
std::string DriverTextToUtf8(const char* ansi, size_t maxBytes);

// A status text of the driver (GBK), for the terminal, with its English
// meaning added when it is one of the driver's known texts.
std::string DescribeStatusText(const char* gbk);
// The status code (0 to 8) whose text this is, or -1 for a text the driver
// does not give.
int StatusCodeOfText(const char* gbk);

// GBK (code page 936, whatever the system's ANSI code page) to UTF-16; a
// platform part.
std::u16string GbkToUtf16(const char* gbk);

}  // namespace kelvora_host
