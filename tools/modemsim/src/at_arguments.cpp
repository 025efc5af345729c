// The parameters of an extended AT command (see at_arguments.h).
#include "at_arguments.h"

#include <cctype>
#include <cstdlib>

namespace modemsim {

std::vector<std::string> SplitArgs(const std::string& args) {
    std::vector<std::string> out;
    std::string current;
    bool quoted = false;
    for (char c : args) {
        if (c == '"') {
            quoted = !quoted;
            continue;
        }
        if (c == ',' && !quoted) {
            out.push_back(current);
            current.clear();
            continue;
        }
        if (!quoted && (c == ' ' || c == '\t')) continue;
        current += c;
    }
    out.push_back(current);
    return out;
}

bool ParseInt(const std::string& text, int fallback, int* value) {
    if (text.empty()) {
        *value = fallback;
        return true;
    }
    if (text.size() > 6) return false;
    for (char c : text) {
        if (!std::isdigit(static_cast<unsigned char>(c))) return false;
    }
    *value = std::atoi(text.c_str());
    return true;
}

std::string Quoted(const std::string& s) { return "\"" + s + "\""; }

}  // namespace modemsim
