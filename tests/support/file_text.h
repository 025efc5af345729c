// The whole content of a file as the tests read it back (empty when the
// file cannot be read).
#pragma once

#include <fstream>
#include <sstream>
#include <string>

namespace kelvora::testing {

inline std::string ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace kelvora::testing
