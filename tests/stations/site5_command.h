// A write command for site 5 written out by the tests themselves, not by the
// frame code under test.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace kelvora::testing {

inline std::string Site5Command(int address, uint32_t value) {
    char text[32];
    std::snprintf(text, sizeof text, "BEGINWM05%03d%08XEND", address, static_cast<unsigned>(value));
    return text;
}

}  // namespace kelvora::testing
