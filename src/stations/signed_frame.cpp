// Signed frames: the code's input, writing and reading (see the header).
#include "stations/signed_frame.h"

#include <cstring>

#include "modem/pdu_codecs.h"
#include "platform/message_mac.h"
#include "stations/frame_counters.h"
#include "stations/telemetry_frame.h"

namespace kelvora {

namespace {

constexpr char kFrameEnd[] = "END#";
constexpr size_t kCounterDigits = 12;

// What the code covers, one field a line: a tag naming this layout, the
// direction, the centre's and the site's numbers as compared, the counter,
// the frame. A frame can hold no line break, so no two inputs read alike.
std::string MacInput(const StationKey& key, FrameDirection direction, uint64_t counter, const std::string& frame) {
    return std::string("kelvora frame 1\n") +
           (direction == FrameDirection::kCentreToSite ? "centre>site\n" : "site>centre\n") + key.centre + "\n" +
           key.site + "\n" + CounterText(counter) + "\n" + frame;
}

// The code's first kMacDigits hexadecimal digits; empty when HMAC failed.
std::string MacText(const StationKey& key, FrameDirection direction, uint64_t counter, const std::string& frame) {
    const std::string input = MacInput(key, direction, counter, frame);
    uint8_t mac[kHmacSha256Size];
    if (!HmacSha256(key.secret.data(), key.secret.size(), reinterpret_cast<const uint8_t*>(input.data()), input.size(),
                    mac)) {
        return std::string();
    }
    char hex[2 * kHmacSha256Size + 1];
    BytesToHex(mac, static_cast<int>(kMacDigits / 2), hex);
    return std::string(hex, kMacDigits);
}

bool CapitalHex(const char* text, size_t length) {
    for (size_t i = 0; i < length; ++i) {
        const char c = text[i];
        if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'))) return false;
    }
    return true;
}

}  // namespace

std::string SignFrame(const StationKey& key, FrameDirection direction, uint64_t counter, const std::string& frame) {
    const std::string mac = MacText(key, direction, counter, frame);
    if (mac.empty()) return std::string();
    return frame + kSignedFrameSeparator + CounterText(counter) + kSignedFrameSeparator + mac;
}

SignedShape SplitSignedFrame(const char* text, SignedFrame* signedFrame) {
    if (text == nullptr || std::strncmp(text, "BEGIN", 5) != 0) return SignedShape::kNone;
    // A text that is a frame as it stands ("...END#" fills a report's 55
    // characters) stays one: a station without a key applies it as always,
    // and a keyed one refuses it as unsigned.
    Report report{};
    WriteCommand command{};
    if (ParseReport(text, &report) || ParseWriteCommand(text, &command)) return SignedShape::kNone;
    const char* end = std::strstr(text, kFrameEnd);
    if (end == nullptr) return SignedShape::kNone;
    const size_t frameLength = static_cast<size_t>(end - text) + 3;
    SignedFrame parts;
    parts.frame.assign(text, frameLength);
    const char* counter = text + frameLength + 1;
    const char* mac = counter + kCounterDigits + 1;
    const bool whole = std::strlen(counter) == kCounterDigits + 1 + kMacDigits &&
                       counter[kCounterDigits] == kSignedFrameSeparator &&
                       ReadCounterText(counter, kCounterDigits, &parts.counter) && CapitalHex(mac, kMacDigits);
    if (whole) parts.mac.assign(mac, kMacDigits);
    if (signedFrame != nullptr) *signedFrame = parts;
    return whole ? SignedShape::kWhole : SignedShape::kMalformed;
}

bool MacChecks(const StationKey& key, FrameDirection direction, const SignedFrame& signedFrame) {
    const std::string expected = MacText(key, direction, signedFrame.counter, signedFrame.frame);
    return !expected.empty() && signedFrame.mac.size() == expected.size() &&
           SameMac(reinterpret_cast<const uint8_t*>(expected.data()),
                   reinterpret_cast<const uint8_t*>(signedFrame.mac.data()), expected.size());
}

}  // namespace kelvora
