// CentreView: the central station's view beside its image (see the header).
#include "stations/centre_view.h"

#include "stations/view_events.h"

namespace kelvora {

namespace {

// The most a tick-count age is let grow: past every StaleAfter, short of
// the wrap at 2^32 ms (49.7 days).
constexpr uint32_t kLongestAgeMs = 0xF0000000u;  // 46.6 days
static_assert(uint64_t{kMaxStaleAfterSeconds} * 1000 < kLongestAgeMs, "a stale site must stay stale");

}  // namespace

void CentreView::SetOptions(const ViewOptions& options) {
    options_ = options;
    staleLimitMs_ = options.staleAfterSeconds * 1000u;
    for (size_t site = 0; site < kSiteCount; ++site) SetPassFor(site);
}

void CentreView::SetPassFor(size_t site) {
    constexpr uint32_t kAlways = UINT32_MAX;
    watches_[site].passFor = staleLimitMs_ == 0 ? kAlways : failedSlots_[site] != 0 ? 0 : staleLimitMs_;
}

void CentreView::Start(uint32_t tick) {
    time_.Start(tick);
    lastAppliedMs_.fill(0);
    heard_.fill(false);
    failedPolls_.fill(0);
    failedSlots_.fill(0);
    for (size_t site = 0; site < kSiteCount; ++site) {
        watches_[site].appliedTick = tick;
        SetPassFor(site);
    }
}

void CentreView::PollBegins(uint32_t tick, const Trace& trace) {
    const uint64_t nowMs = time_.At(tick);
    if (holds_.size() != 0) holds_.Expire(nowMs, trace);
    for (size_t site = 0; site < kSiteCount; ++site) {
        if (nowMs - lastAppliedMs_[site] >= kLongestAgeMs) watches_[site].appliedTick = tick - kLongestAgeMs;
    }
}

void CentreView::PollEnded(size_t slot, bool failed) {
    if ((failedPolls_[slot] != 0) == failed) return;
    failedPolls_[slot] = failed ? 1 : 0;
    // The station-wide slot answers for every site; a group's for its own.
    const size_t first = slot == kStationSlot ? 0 : slot / kGroupsPerSite;
    const size_t last = slot == kStationSlot ? kSiteCount : first + 1;
    for (size_t site = first; site < last; ++site) {
        if (failed) {
            ++failedSlots_[site];
        } else {
            --failedSlots_[site];
        }
        SetPassFor(site);
    }
}

uint32_t CentreView::JudgeHolds(int32_t site, int32_t first, const uint32_t values[kGroupSize],
                                const int64_t* sentSeconds, const Trace& trace) {
    const int64_t sentMs = sentSeconds != nullptr ? *sentSeconds * 1000 : 0;
    return holds_.Judge(site, first, values, sentSeconds != nullptr ? &sentMs : nullptr,
                        clocks_[static_cast<size_t>(site)], trace);
}

void CentreView::WriteAccepted(int32_t site, int32_t address, uint32_t value, uint64_t nowMs, const Trace& trace) {
    if (options_.holdWrites) holds_.Begin(site, address, value, nowMs, trace);
}

bool CentreView::ReadFailsAtAll(int32_t site, size_t slot, uint32_t tick, const Trace& trace) {
    if (staleLimitMs_ == 0) return false;
    const uint32_t quiet = tick - watches_[static_cast<size_t>(site)].appliedTick;
    const bool failed = failedPolls_[slot] != 0 || quiet >= staleLimitMs_;
    if (!failed || !trace.on()) return failed;
    const uint64_t nowMs = time_.At(tick);
    const std::string limit = " (stale after " + std::to_string(options_.staleAfterSeconds) + " s)";
    std::string why;
    if (failedPolls_[slot] != 0) {
        why = "the poll for it failed (the modem did not answer, refused the listing, or the port failed)";
    } else if (heard_[static_cast<size_t>(site)]) {
        why = "site " + std::to_string(site) + " silent: no report of it applied for " +
               std::to_string((nowMs - lastAppliedMs_[static_cast<size_t>(site)]) / 1000) + " s" + limit;
    } else {
        why = "site " + std::to_string(site) + " silent: no report of it applied in the " +
               std::to_string(nowMs / 1000) + " s since the station began" + limit;
    }
    const ViewEvent event = failedPolls_[slot] != 0 ? ViewEvent::kReadFailedByPoll : ViewEvent::kReadFailedSilent;
    trace.Emit(ViewEventText(event, why));
    return true;
}

}  // namespace kelvora
