// ImageEntry: one register of a station's image, with the tick count of the
// last modem poll for the group that starts at it (only a group's first entry
// uses lastPollTick).
#pragma once

#include <cstdint>

namespace kelvora {

struct ImageEntry {
    uint32_t value = 0;
    uint32_t lastPollTick = 0;
};

// The modem is polled at most once per this many milliseconds for one group.
constexpr uint32_t kPollIntervalMs = 3000;
// The pause before a poll's listing (central) or a send (both stations).
constexpr uint32_t kModemPauseMs = 1000;

// True when a group last polled at lastPollTick is due at now. The unsigned
// difference keeps the answer right across the tick count's wrap-around.
inline bool PollDue(uint32_t now, uint32_t lastPollTick) {
    return static_cast<uint32_t>(now - lastPollTick) >= kPollIntervalMs;
}

}  // namespace kelvora
