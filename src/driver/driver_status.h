// DriverStatus: the outcome of the last driver operation, a code 0 to 9 with
// a fixed table of texts in the GBK code page, reported once to the host.
#pragma once

#include <cstdint>
#include <string>

namespace kelvora {

enum StatusCode : uint32_t {
    kStatusOk = 0,
    kStatusInitFailed = 1,
    kStatusBadDeviceAddress = 2,
    kStatusBadRegister = 3,
    kStatusBadDataType = 4,
    kStatusReadError = 5,
    kStatusWriteError = 6,
    kStatusTimeout = 7,
    kStatusUnknown = 8,
    kStatusCustom = 9,
};

// What a code means, in English, for traces and logs ("write error").
const char* StatusMeaning(uint32_t code);

class DriverStatus {
public:
    // Stores a code 0 to 8 and returns 1; refuses 9 (reserved for the custom
    // text) and anything above, returning 0 and keeping the code.
    int SetCode(uint32_t code);
    uint32_t Code() const { return code_; }

    // The text for the current code (the custom text for 9); with reset set,
    // the code goes back to 0 after the text is taken. The pointer stays valid
    // while the object lives.
    const char* Text(bool reset);

private:
    uint32_t code_ = kStatusOk;
    std::string customText_;
};

}  // namespace kelvora
