// ViewOptions: two choices of the user's that change what the central
// station's reads return, both off unless set. HoldWrites keeps a register
// the host wrote at its written value against reports until the site
// confirms it (see WriteHolds); StaleAfter fails the reads of a site that has
// had no report applied for that many seconds, and the reads that a failed
// poll answered. Read where the station is created, beside the poll scope:
// KELVORA_HOLD_WRITES and KELVORA_STALE_AFTER, else on Windows the registry
// values "HoldWrites" and "StaleAfter".
#pragma once

#include <cstdint>
#include <string>

namespace kelvora {

// The most a StaleAfter may say: thirty days.
constexpr uint32_t kMaxStaleAfterSeconds = 30u * 24u * 3600u;

struct ViewOptions {
    bool holdWrites = false;
    uint32_t staleAfterSeconds = 0;  // 0: reads never fail for silence
};

// "1", "on", "yes", "true" (any letter case) give true; "0", "off", "no",
// "false" and empty give false; false and understood false for anything else.
bool HoldWritesFromText(const std::string& text, bool* understood = nullptr);
// Decimal seconds, 1 to kMaxStaleAfterSeconds, or "0"/empty for off; 0 and
// understood false for anything else.
uint32_t StaleAfterFromText(const std::string& text, bool* understood = nullptr);

// The options as the user set them, and the trace's lines on them, naming
// what the settings held.
ViewOptions ViewOptionsFromSystem(std::string* holdSetting = nullptr, std::string* staleSetting = nullptr);
std::string DescribeHoldWrites(const ViewOptions& options, const std::string& setting);
std::string DescribeStaleAfter(const ViewOptions& options, const std::string& setting);

}  // namespace kelvora
