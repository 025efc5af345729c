// CentreView: the central station's view beside its image (see the header).
#include "stations/centre_view.h"

#include "stations/sending_time.h"
#include "stations/view_events.h"

namespace kelvora {

void CentreView::Start(uint32_t tick) {
    time_.Start(tick);
    lastAppliedMs_.fill(0);
    heard_.fill(false);
}

void CentreView::ReportHeard(int32_t site, const char* timestamp, uint64_t nowMs) {
    int64_t sentSeconds = 0;
    if (SendingTime(timestamp, &sentSeconds)) clocks_[static_cast<size_t>(site)].Learn(nowMs, sentSeconds);
}

uint32_t CentreView::JudgeHolds(int32_t site, int32_t first, const uint32_t values[kGroupSize],
                                const char* timestamp, uint64_t nowMs, const Trace& trace) {
    int64_t sentSeconds = 0;
    const bool stamped = SendingTime(timestamp, &sentSeconds);
    const int64_t sentMs = sentSeconds * 1000;
    return holds_.Judge(site, first, values, stamped ? &sentMs : nullptr, nowMs, clocks_[static_cast<size_t>(site)],
                        trace);
}

void CentreView::WriteAccepted(int32_t site, int32_t address, uint32_t value, uint64_t nowMs, const Trace& trace) {
    if (options.holdWrites) holds_.Begin(site, address, value, nowMs, trace);
}

void CentreView::TellReadFailure(int32_t site, size_t slot, uint64_t nowMs, const Trace& trace) const {
    const std::string limit = " (stale after " + std::to_string(options.staleAfterSeconds) + " s)";
    std::string why = view_events::kReadFailed;
    if (failedPolls_.test(slot)) {
        why += "the poll for it failed (the modem did not answer, refused the listing, or the port failed)";
    } else if (heard_[static_cast<size_t>(site)]) {
        why += "site " + std::to_string(site) + " silent: no report of it applied for " +
               std::to_string((nowMs - lastAppliedMs_[static_cast<size_t>(site)]) / 1000) + " s" + limit;
    } else {
        why += "site " + std::to_string(site) + " silent: no report of it applied in the " +
               std::to_string(nowMs / 1000) + " s since the station began" + limit;
    }
    trace.Emit(why);
}

}  // namespace kelvora
