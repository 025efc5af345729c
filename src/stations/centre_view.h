// CentreView: what the central station keeps to show its host a view it can
// trust, beside the image: the written values held against reports
// (HoldWrites), when each site last had a report applied and whether each
// poll slot's last poll failed (StaleAfter), and the network's clock as each
// site's reports tell it. With both options off it keeps the times and
// clocks only, and changes nothing a read returns.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "platform/trace.h"
#include "stations/network_clock.h"
#include "stations/telemetry_frame.h"
#include "stations/view_options.h"
#include "stations/write_holds.h"

namespace kelvora {

class CentreView {
public:
    // Poll slots: a (site, group) each, and one for the station-wide scope.
    static constexpr size_t kGroupsPerSite = (kSiteRegisters + kGroupSize - 1) / kGroupSize;  // 201
    static constexpr size_t kStationSlot = kSiteCount * kGroupsPerSite;
    static size_t GroupSlot(int32_t site, int32_t address) {
        return static_cast<size_t>(site) * kGroupsPerSite + static_cast<size_t>(address / kGroupSize);
    }

    // Read from the user's settings by the station at its creation.
    void SetOptions(const ViewOptions& options);
    const ViewOptions& options() const { return options_; }
    // Whether reads are judged at all (StaleAfter set): a read without it
    // pays this one test.
    bool JudgesReads() const { return staleLimitMs_ != 0; }

    // The station began (or its clock was replaced) at this tick: a site
    // never heard from counts as silent from here.
    void Start(uint32_t tick);
    // The station's time in milliseconds since it began.
    uint64_t Now(uint32_t tick) { return time_.At(tick); }

    // A report from the site's own number, sent at sentSeconds (its stamp
    // as SendingTime reads it; null when unreadable), was listed at nowMs:
    // it teaches the network's clock as that site's service centre keeps it.
    void ReportHeard(int32_t site, const int64_t* sentSeconds, uint64_t nowMs) {
        if (sentSeconds != nullptr) clocks_[static_cast<size_t>(site)].Learn(nowMs, *sentSeconds);
    }
    // A report of the site's registers from first on is about to be
    // applied: the registers (bit i: first + i) that keep a held value
    // instead of the report's.
    uint32_t HeldInReport(int32_t site, int32_t first, const uint32_t values[kGroupSize], const int64_t* sentSeconds,
                          const Trace& trace) {
        return holds_.size() == 0 ? 0 : JudgeHolds(site, first, values, sentSeconds, trace);
    }
    // The report's values are in the image, at tick (nowMs in station time).
    void ReportApplied(int32_t site, uint64_t nowMs, uint32_t tick) {
        lastAppliedMs_[static_cast<size_t>(site)] = nowMs;
        watches_[static_cast<size_t>(site)].appliedTick = tick;
        heard_[static_cast<size_t>(site)] = true;
    }
    // The network accepted the host's write of value to the register.
    void WriteAccepted(int32_t site, int32_t address, uint32_t value, uint64_t nowMs, const Trace& trace);

    // A poll began at tick (holds past their bound end) and ended for the slot.
    void PollBegins(uint32_t tick, const Trace& trace);
    void PollEnded(size_t slot, bool failed);

    // Whether a read of the site's registers answered by the slot's last
    // poll fails at tick (StaleAfter set); the trace says why. On every read
    // of the host: its usual answer is one load, a subtraction and a
    // compare, and the rest is out of its way.
    bool ReadFails(int32_t site, size_t slot, uint32_t tick, const Trace& trace) {
        const SiteWatch watch = watches_[static_cast<size_t>(site)];
        if (tick - watch.appliedTick < watch.passFor) [[likely]] return false;
        return ReadFailsAtAll(site, slot, tick, trace);
    }

    size_t HeldCount() const { return holds_.size(); }

private:
    uint32_t JudgeHolds(int32_t site, int32_t first, const uint32_t values[kGroupSize], const int64_t* sentSeconds,
                        const Trace& trace);
    bool ReadFailsAtAll(int32_t site, size_t slot, uint32_t tick, const Trace& trace);

    // What a read looks at: the tick count of the site's last report
    // applied (the station's beginning for a site never heard from, kept by
    // each poll from wrapping back over a site silent for weeks), and how
    // long after it a read passes without a closer look: StaleAfter, or none
    // while a poll answering for the site failed (always while StaleAfter
    // is off, though then no read asks).
    struct SiteWatch {
        uint32_t appliedTick;
        uint32_t passFor;
    };
    void SetPassFor(size_t site);

    ViewOptions options_;
    uint32_t staleLimitMs_ = 0;  // StaleAfter in milliseconds; 0: off
    StationTime time_;
    WriteHolds holds_;
    std::array<NetworkClock, kSiteCount> clocks_{};
    std::array<SiteWatch, kSiteCount> watches_{};
    std::array<uint64_t, kSiteCount> lastAppliedMs_{};  // station time; 0 for a site never heard from
    std::array<bool, kSiteCount> heard_{};
    std::array<uint8_t, kStationSlot + 1> failedPolls_{};
    std::array<uint32_t, kSiteCount> failedSlots_{};  // the site's slots whose last poll failed
};

}  // namespace kelvora
