// StationView: the station's view as its trace tells it (see the header).
#include "station_view.h"

#include <cstdio>
#include <cstdlib>

#include "driver_text.h"
#include "stations/sending_time.h"
#include "stations/telemetry_frame.h"
#include "stations/view_events.h"
#include "trace_line.h"

namespace kelvora_host {
namespace {

using kelvora::ViewEvent;

// "23110612345032" as "2023-11-06 12:34:50 +08:00"; a stamp that is not one, as it stands.
std::string StampText(const std::string& stamp) {
    int64_t unused = 0;
    if (stamp.size() < 14 || !kelvora::SendingTime(stamp.c_str(), &unused)) return stamp;
    const int zone = std::strtol(stamp.substr(12, 1).c_str(), nullptr, 16);
    const int quarters = (zone & 7) * 10 + (stamp[13] - '0');
    char text[40];
    std::snprintf(text, sizeof text, "20%.2s-%.2s-%.2s %.2s:%.2s:%.2s %c%02d:%02d", stamp.c_str(), stamp.c_str() + 2,
                  stamp.c_str() + 4, stamp.c_str() + 6, stamp.c_str() + 8, stamp.c_str() + 10,
                  (zone & 8) != 0 ? '-' : '+', quarters / 4, quarters % 4 * 15);
    return text;
}

}  // namespace

StationView::Taken StationView::Take(const std::vector<std::string>& lines) {
    Taken taken;
    for (const std::string& line : lines) {
        TraceLine parsed;
        if (!ReadTraceLine(line, &parsed)) continue;
        const std::string& event = parsed.event;
        kelvora::ViewEventFields view;
        if (!kelvora::ReadViewEvent(event, &view)) {
            if (event.rfind("read M", 0) == 0) {
                TakeRead(event);
            } else {
                TakeMessage(event, parsed.timeMs, &taken);
            }
        } else if (view.event == ViewEvent::kStaleAfter) {
            staleAfterSeconds_ = view.seconds;
            startedMs_ = parsed.timeMs;
        } else if (view.event == ViewEvent::kReadFailedByPoll || view.event == ViewEvent::kReadFailedSilent) {
            pendingPollFailure_ = view.event == ViewEvent::kReadFailedByPoll;
            taken.readFailure = view.words;
        } else {
            TakeHold(view, parsed.timeMs);
        }
    }
    return taken;
}

void StationView::TakeMessage(const std::string& event, int64_t timeMs, Taken* taken) {
    TraceMessage message;
    if (!ReadTraceMessage(event, &message)) return;
    const std::string& detail = message.detail;
    kelvora::ViewEventFields view;
    if (kelvora::ReadViewEvent(detail, &view) && view.event == ViewEvent::kFreeTextKept) {
        taken->freeTexts.push_back("free text from " + view.words + ", sent " +
                                   StampText(message.timestamp) + ": \"" +
                                   DriverTextToUtf8(message.text.c_str(), message.text.size()) + "\"");
        return;
    }
    using kelvora::MessageFate;
    if (message.fate == MessageFate::kRefusedByKey) {
        taken->refusedByKey.push_back("message from " + message.sender + ", sent " + StampText(message.timestamp) +
                                      ": " + detail);
        return;
    }
    kelvora::Report report{};
    if (!kelvora::ParseReport(message.text.c_str(), &report) || !kelvora::IsSiteNumber(report.site) ||
        message.fate == MessageFate::kNotForStation) {
        return;
    }
    Site& site = sites_[report.site];
    site.reported = true;
    int64_t sentSeconds = 0;
    const bool stamped = kelvora::SendingTime(message.timestamp.c_str(), &sentSeconds);
    // Only the site's own reports tell its service centre's clock: neither a
    // stranger's nor a copy (of which the first may have been a stranger's).
    const bool own = message.fate == MessageFate::kApplied || message.fate == MessageFate::kSentBeforeApplied;
    if (own && stamped && timeMs > 0) site.clock.Learn(static_cast<uint64_t>(timeMs), sentSeconds);
    switch (message.fate) {
        case MessageFate::kRefusedBySender: ++site.refusedBySender; break;
        case MessageFate::kApplied:
            ++site.applied;
            site.lastStamp = message.timestamp;
            site.lastSentKnown = stamped;
            site.lastSentMs = sentSeconds * 1000;
            site.lastAppliedMs = timeMs;
            break;
        case MessageFate::kSentBeforeApplied: ++site.refusedSentBefore; break;
        case MessageFate::kSeenBefore: ++site.refusedCopies; break;  // listed again, or a second copy
        default: break;
    }
}

void StationView::TakeHold(const kelvora::ViewEventFields& hold, int64_t timeMs) {
    if (!kelvora::IsSiteNumber(hold.site)) return;  // not a hold (the hold writes setting)
    auto& held = sites_[hold.site].held;
    if (hold.event == ViewEvent::kHoldBegun) {
        held[hold.address] = {hold.value, timeMs};
    } else if (hold.event == ViewEvent::kHoldKept) {
        held.emplace(hold.address, std::make_pair(hold.value, timeMs));
    } else {
        held.erase(hold.address);  // confirmed, given up or ended
    }
}

void StationView::TakeRead(const std::string& event) {
    int site = 0, address = 0;
    const size_t status = event.rfind(": status ");
    if (std::sscanf(event.c_str(), "read M%d.%d", &site, &address) != 2 || !kelvora::IsSiteNumber(site) ||
        status == std::string::npos) {
        pendingPollFailure_ = false;
        return;
    }
    const int code = std::atoi(event.c_str() + status + 9);
    if (code == 0) sites_[site].lastPollFailed = false;
    if (code == 5 && pendingPollFailure_) sites_[site].lastPollFailed = true;
    pendingPollFailure_ = false;
}

std::vector<SiteStatus> StationView::Sites(const std::set<int32_t>& withDestination, int64_t nowMs) const {
    std::set<int32_t> numbers = withDestination;
    for (const auto& [number, site] : sites_) {
        if (site.reported || !site.held.empty()) numbers.insert(number);
    }
    std::vector<SiteStatus> out;
    const Site none;
    for (const int32_t number : numbers) {
        const auto found = sites_.find(number);
        const Site& site = found != sites_.end() ? found->second : none;
        SiteStatus s;
        s.site = number;
        s.applied = site.applied;
        s.refusedBySender = site.refusedBySender;
        s.refusedSentBefore = site.refusedSentBefore;
        s.refusedCopies = site.refusedCopies;
        if (site.lastAppliedMs > 0) {
            s.lastReportSent = StampText(site.lastStamp);
            s.agoHere = (nowMs - site.lastAppliedMs) / 1000.0;
            int64_t networkNow = 0;
            if (site.lastSentKnown && site.clock.NetworkMsAt(static_cast<uint64_t>(nowMs), &networkNow)) {
                s.agoNetwork = (networkNow - site.lastSentMs) / 1000.0;
            }
        }
        for (const auto& [address, held] : site.held) {
            s.held.push_back(HeldWrite{address, held.first, (nowMs - held.second) / 1000.0});
        }
        if (staleAfterSeconds_ != 0) {
            const int64_t since = site.lastAppliedMs > 0 ? site.lastAppliedMs : startedMs_;
            const int64_t quiet = since > 0 ? (nowMs - since) / 1000 : 0;
            s.silent = site.lastPollFailed || quiet >= staleAfterSeconds_ ? 1 : 0;
            if (site.lastPollFailed) {
                s.silentWhy = "its last poll failed";
            } else if (site.lastAppliedMs > 0) {
                s.silentWhy = s.silent != 0 ? "no report for " + std::to_string(quiet) + " s"
                                            : "last report " + std::to_string(quiet) + " s ago";
            } else {
                s.silentWhy = (s.silent != 0 ? "never heard from, " : "not heard from yet, ") + std::to_string(quiet) +
                              " s since the station began";
            }
        }
        out.push_back(s);
    }
    return out;
}

}  // namespace kelvora_host
