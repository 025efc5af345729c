// CentreView: what the central station keeps to show its host a view it can
// trust, beside the image: the written values held against reports
// (HoldWrites), when each site last had a report applied and whether each
// poll slot's last poll failed (StaleAfter), and the network's clock as each
// site's reports tell it. With both options off it keeps the times and
// clocks only, and changes nothing a read returns.
#pragma once

#include <array>
#include <bitset>
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

    ViewOptions options;

    // The station began (or its clock was replaced) at this tick: a site
    // never heard from counts as silent from here.
    void Start(uint32_t tick);
    // The station's time in milliseconds since it began.
    uint64_t Now(uint32_t tick) { return time_.At(tick); }

    // A report from the site's own number was listed at nowMs: its stamp
    // teaches the network's clock as that site's service centre keeps it.
    void ReportHeard(int32_t site, const char* timestamp, uint64_t nowMs);
    // A report of the site's registers from first on is about to be
    // applied: the registers (bit i: first + i) that keep a held value
    // instead of the report's.
    uint32_t HeldInReport(int32_t site, int32_t first, const uint32_t values[kGroupSize], const char* timestamp,
                          uint64_t nowMs, const Trace& trace) {
        return holds_.size() == 0 ? 0 : JudgeHolds(site, first, values, timestamp, nowMs, trace);
    }
    // The report's values are in the image.
    void ReportApplied(int32_t site, uint64_t nowMs) {
        lastAppliedMs_[static_cast<size_t>(site)] = nowMs;
        heard_[static_cast<size_t>(site)] = true;
    }
    // The network accepted the host's write of value to the register.
    void WriteAccepted(int32_t site, int32_t address, uint32_t value, uint64_t nowMs, const Trace& trace);

    // A poll of the slot began (holds past their bound end) and ended.
    void PollBegins(uint64_t nowMs, const Trace& trace) {
        if (holds_.size() != 0) holds_.Expire(nowMs, trace);
    }
    void PollEnded(size_t slot, bool failed) { failedPolls_.set(slot, failed); }

    // With StaleAfter set, whether a read of the site's registers answered
    // by the slot's last poll fails at nowMs; the trace says why.
    bool ReadFails(int32_t site, size_t slot, uint64_t nowMs, const Trace& trace) const {
        if (options.staleAfterSeconds == 0) return false;
        const bool failed = failedPolls_.test(slot) ||
                            nowMs - lastAppliedMs_[static_cast<size_t>(site)] >= uint64_t{options.staleAfterSeconds} * 1000;
        if (failed && trace.on()) TellReadFailure(site, slot, nowMs, trace);
        return failed;
    }

    size_t HeldCount() const { return holds_.size(); }

private:
    uint32_t JudgeHolds(int32_t site, int32_t first, const uint32_t values[kGroupSize], const char* timestamp,
                        uint64_t nowMs, const Trace& trace);
    void TellReadFailure(int32_t site, size_t slot, uint64_t nowMs, const Trace& trace) const;

    StationTime time_;
    WriteHolds holds_;
    std::array<NetworkClock, kSiteCount> clocks_{};
    // 0, the station's beginning, for a site never heard from.
    std::array<uint64_t, kSiteCount> lastAppliedMs_{};
    std::array<bool, kSiteCount> heard_{};
    std::bitset<kStationSlot + 1> failedPolls_;
};

}  // namespace kelvora
