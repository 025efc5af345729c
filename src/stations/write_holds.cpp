// WriteHolds: written values held against reports (see the header).
#include "stations/write_holds.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include "stations/view_events.h"

namespace kelvora {

namespace {

constexpr uint64_t kLimitMs = uint64_t{kHoldLimitSeconds} * 1000;
constexpr int64_t kMarginMs = int64_t{kHoldMarginSeconds} * 1000;

std::string Shown(uint32_t value) { return " shows " + std::to_string(static_cast<int32_t>(value)); }

// Milliseconds as seconds to the tenth: "4.0".
std::string Tenths(int64_t ms) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", static_cast<double>(ms) / 1000.0);
    return text;
}

}  // namespace

void WriteHolds::Recount() {
    sitesHeld_ = 0;
    for (const Hold& h : holds_) sitesHeld_ |= 1u << static_cast<uint32_t>(h.site);
}

void WriteHolds::Begin(int32_t site, int32_t address, uint32_t value, uint64_t acceptedMs, const Trace& trace) {
    holds_.erase(std::remove_if(holds_.begin(), holds_.end(),
                                [&](const Hold& h) { return h.site == site && h.address == address; }),
                 holds_.end());
    holds_.push_back(Hold{site, address, value, acceptedMs});
    sitesHeld_ |= 1u << static_cast<uint32_t>(site);
    if (trace.on()) {
        trace.Emit(HoldEvent(ViewEvent::kHoldBegun, site, address, value,
                             "a report shows it, one sent " + std::to_string(kHoldMarginSeconds) +
                                 " s after the write shows another, or " + std::to_string(kHoldLimitSeconds) +
                                 " s have passed"));
    }
}

void WriteHolds::Expire(uint64_t nowMs, const Trace& trace) {
    const auto ended = [&](const Hold& h) {
        if (nowMs - h.acceptedMs < kLimitMs) return false;
        if (trace.on()) {
            trace.Emit(HoldEvent(ViewEvent::kHoldEnded, h.site, h.address, h.value,
                                 std::to_string(kHoldLimitSeconds) + " s since the write: reports apply again"));
        }
        return true;
    };
    const size_t before = holds_.size();
    holds_.erase(std::remove_if(holds_.begin(), holds_.end(), ended), holds_.end());
    if (holds_.size() != before) Recount();
}

uint32_t WriteHolds::Judge(int32_t site, int32_t first, const uint32_t values[kGroupSize], const int64_t* sentMs,
                           const NetworkClock& clock, const Trace& trace) {
    if ((sitesHeld_ & (1u << static_cast<uint32_t>(site))) == 0) return 0;
    uint32_t kept = 0;
    const auto decided = [&](const Hold& h) {
        if (h.site != site || h.address < first || h.address >= first + kGroupSize) return false;
        const uint32_t shown = values[h.address - first];
        if (shown == h.value) {
            if (trace.on()) {
                trace.Emit(HoldEvent(ViewEvent::kHoldConfirmed, h.site, h.address, h.value, "a report shows it"));
            }
            return true;
        }
        int64_t writeMs = 0;
        const bool known = clock.NetworkMsAt(h.acceptedMs, &writeMs);
        const int64_t after = sentMs != nullptr && known ? *sentMs - writeMs : 0;
        if (sentMs != nullptr && known && after >= kMarginMs) {
            if (trace.on()) {
                trace.Emit(HoldEvent(ViewEvent::kHoldGivenUp, h.site, h.address, h.value,
                                     "a report sent " + Tenths(after) + " s after the write" + Shown(shown) +
                                         ": applied"));
            }
            return true;
        }
        kept |= 1u << static_cast<uint32_t>(h.address - first);
        if (trace.on()) {
            std::string why;
            if (sentMs == nullptr) {
                why = "a report without a readable stamp";
            } else if (!known) {
                why = "a report (the network's clock is not known yet)";
            } else if (after < 0) {
                why = "a report sent " + Tenths(-after) + " s before the write";
            } else {
                why = "a report sent " + Tenths(after) + " s after the write (under " +
                      std::to_string(kHoldMarginSeconds) + " s)";
            }
            trace.Emit(
                HoldEvent(ViewEvent::kHoldKept, h.site, h.address, h.value, why + Shown(shown) + ": not applied"));
        }
        return false;
    };
    const size_t before = holds_.size();
    holds_.erase(std::remove_if(holds_.begin(), holds_.end(), decided), holds_.end());
    if (holds_.size() != before) Recount();
    return kept;
}

}  // namespace kelvora
