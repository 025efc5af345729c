// SignedFrame: a telemetry frame between two keyed stations, with its
// counter and its message authentication code:
//
//   BEGINWM0502700001A2BEND#0000A1B2C3D4#<32 hexadecimal digits>
//
// the frame as it stands, "#", the counter (12 capital hexadecimal digits),
// "#", the first 128 bits of the HMAC-SHA-256 under the pair's key over the
// direction, both stations' numbers, the counter and the frame. 69
// characters for a write command, 101 for a report: longer than either frame,
// so a station without a key takes it for no frame, and every character is
// one of the GSM 7-bit default alphabet, so it travels as one 7-bit SMS of
// up to 160 characters, which every modem and network carries.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "stations/station_key.h"

namespace kelvora {

constexpr size_t kMacDigits = 32;  // 128 bits of the 256
constexpr char kSignedFrameSeparator = '#';

enum class FrameDirection : uint8_t { kCentreToSite, kSiteToCentre };

struct SignedFrame {
    std::string frame;  // the write command or report
    uint64_t counter = 0;
    std::string mac;    // kMacDigits capital hexadecimal digits
};

enum class SignedShape : uint8_t {
    kNone,       // no signed frame: a frame, or any other text
    kWhole,      // laid out as a signed frame (whether the code checks is another matter)
    kMalformed,  // a frame followed by "#" and then not a counter and a code: cut or altered
};

// The signed text of a frame; empty when the platform's HMAC failed.
std::string SignFrame(const StationKey& key, FrameDirection direction, uint64_t counter, const std::string& frame);

// Reads the layout of a received text; signedFrame gets the frame for
// kWhole and kMalformed, and the counter and code for kWhole.
SignedShape SplitSignedFrame(const char* text, SignedFrame* signedFrame);

// Whether the code is the one the key gives for the frame and counter in
// that direction.
bool MacChecks(const StationKey& key, FrameDirection direction, const SignedFrame& signedFrame);

}  // namespace kelvora
