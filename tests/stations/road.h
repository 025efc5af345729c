// The road of one write and one report, driven through the stations alone, as
// a host at the centre and a host at site 5 would: the central station on
// COM1, the site's remote station on COM2, each with a real clock and the
// platform's serial binding. Whatever stands behind the two ports (the modem
// simulator over ptys, natively or under Wine) is the caller's to provide.
#pragma once

#include <cstdint>
#include <string>

namespace kelvora::testing {

struct RoadSetup {
    std::string centralNumber;  // the central modem's telephone number
    std::string siteNumber;     // site 5's modem's telephone number
    int32_t replyTimeoutMs = 2000;
};

struct RoadResult {
    std::string error;  // empty when every step went as it should

    uint32_t siteSaw120 = 0;          // M120 at the site after its poll
    uint32_t centralSaw[5] = {};      // M5.120 to M5.124 at the centre after its poll
    int sitePolls = 0;                // reads of M120 until the command showed
    int centralPolls = 0;             // reads of M5.120 until the report showed

    // Milliseconds, real time.
    uint32_t writeMs = 0;        // central Write of M5.120
    uint32_t siteReadMs = 0;     // the site's read that applied the command and reported
    uint32_t centralReadMs = 0;  // the central read that applied the report
    uint32_t totalMs = 0;        // from the central write to the values at the centre
    uint32_t pauseMs = 0;        // of that, spent in the 1000 ms pauses
    int pauses = 0;
    uint32_t retryWaitMs = 0;    // of that, spent waiting out a poll interval to retry
};

// The values the site's host holds in M121 to M124 before the road starts.
constexpr uint32_t kRoadSiteValues[4] = {7, 0xFFFFFFFFu, 2, 0xBEEF};

RoadResult RunRoad(const RoadSetup& setup);

// One line of figures for the test log.
std::string DescribeRoad(const RoadResult& result);

}  // namespace kelvora::testing
