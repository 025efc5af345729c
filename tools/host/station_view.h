// StationView: what the console follows of a station's view in the driver's
// trace (the events of stations/view_events.h, by name): per site, the reports applied
// and refused, the written values held against reports and whether its last
// read failed for a poll; the StaleAfter in force; and each free text the
// station kept, shown as the poll takes it. `status` prints it per site.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "stations/network_clock.h"
#include "stations/view_events.h"

namespace kelvora_host {

struct HeldWrite {
    int32_t address = 0;
    int32_t value = 0;
    double seconds = 0;  // since the write
};

// One site as `status` shows it; times in seconds, negative when unknown.
struct SiteStatus {
    int32_t site = 0;
    std::string lastReportSent;  // the service centre's stamp, "2023-11-06 12:34:50 +08:00"; empty: none
    double agoNetwork = -1;      // by the network's clock (as the site's stamps tell it)
    double agoHere = -1;         // by this computer's, from when the centre applied it
    int applied = 0;
    int refusedBySender = 0;
    int refusedSentBefore = 0;
    int refusedCopies = 0;
    std::vector<HeldWrite> held;
    int silent = -1;  // 1 reads as silent, 0 not, -1 no StaleAfter in force
    std::string silentWhy;
};

class StationView {
public:
    // What lines of the trace the console took tell it at once.
    struct Taken {
        std::vector<std::string> freeTexts;  // "free text from site 5 (sent ...): \"...\""
        std::string readFailure;             // the driver's reason for the last failed read
        std::vector<std::string> refusedByKey;  // "message from +86...: refused by the key check: ..." 
    };
    Taken Take(const std::vector<std::string>& lines);

    // The sites with a destination written or a report seen, at nowMs (the
    // local time, milliseconds since 1970).
    std::vector<SiteStatus> Sites(const std::set<int32_t>& withDestination, int64_t nowMs) const;
    uint32_t staleAfterSeconds() const { return staleAfterSeconds_; }

private:
    struct Site {
        bool reported = false;
        int applied = 0, refusedBySender = 0, refusedSentBefore = 0, refusedCopies = 0;
        std::string lastStamp;
        int64_t lastSentMs = 0;     // network time of the last applied, ms since 2000 UTC
        bool lastSentKnown = false;
        int64_t lastAppliedMs = 0;  // local time it was applied; 0: never
        kelvora::NetworkClock clock;
        std::map<int32_t, std::pair<int32_t, int64_t>> held;  // address -> value, since
        bool lastPollFailed = false;
    };
    void TakeMessage(const std::string& event, int64_t timeMs, Taken* taken);
    void TakeHold(const kelvora::ViewEventFields& hold, int64_t timeMs);
    void TakeRead(const std::string& event);

    std::map<int32_t, Site> sites_;
    uint32_t staleAfterSeconds_ = 0;
    int64_t startedMs_ = 0;          // the station's creation, as its trace tells it
    bool pendingPollFailure_ = false;  // a read failed for its poll, waiting for the read's line
};

// The status as lines: a table for people (text), or records (csv with a
// header, one JSON object a line).
std::vector<std::string> StatusText(const std::vector<SiteStatus>& sites, uint32_t staleAfterSeconds);
std::vector<std::string> StatusCsv(const std::vector<SiteStatus>& sites);
std::vector<std::string> StatusJson(const std::vector<SiteStatus>& sites);

}  // namespace kelvora_host
