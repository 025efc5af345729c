// The parameters of an extended AT command: split at commas outside quotes,
// read as decimals.
#pragma once

#include <string>
#include <vector>

namespace modemsim {

// "1,\"SM\", 2" -> {"1", "SM", "2"}: quotes dropped, blanks outside them too.
std::vector<std::string> SplitArgs(const std::string& args);

// A decimal parameter of at most six digits; an empty one takes `fallback`.
bool ParseInt(const std::string& text, int fallback, int* value);

std::string Quoted(const std::string& s);

}  // namespace modemsim
