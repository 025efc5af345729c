// The road of one write and one report (see the header).
#include "road.h"

#include <cstdio>
#include <cstring>
#include <memory>

#include "hosted_device.h"
#include "platform/clock.h"
#include "serial/serial_port.h"
#include "stations/central_station.h"
#include "stations/remote_station.h"

namespace kelvora::testing {

namespace {

// The system clock, with the time spent in the 1000 ms pauses added up.
class PauseCountingClock : public Clock {
public:
    uint32_t TickCount() override { return SystemClock().TickCount(); }
    void Sleep(uint32_t milliseconds) override {
        const uint32_t start = SystemClock().TickCount();
        SystemClock().Sleep(milliseconds);
        if (milliseconds == 1000) {
            pauseMs += SystemClock().TickCount() - start;
            ++pauses;
        }
    }
    uint32_t pauseMs = 0;
    int pauses = 0;
};

constexpr int kAttempts = 3;          // polls before a step counts as failed
constexpr uint32_t kRetryWaitMs = 3100;  // a poll interval and a little

}  // namespace

RoadResult RunRoad(const RoadSetup& setup) {
    RoadResult result;
    std::string& error = result.error;
    PauseCountingClock clock;
    auto central = std::make_unique<Device<CentralStation>>();
    auto site = std::make_unique<Device<RemoteStation>>();
    central->station.SetClock(clock);
    site->station.SetClock(clock);

    if (!central->Open(0, setup.replyTimeoutMs, error) || !site->Open(1, setup.replyTimeoutMs, error)) return result;
    if (site->station.ParseDeviceAddress("5", &site->deviceAddress) != 1) {
        error = "device address 5 not accepted";
        return result;
    }

    // Set-up at both ends: the numbers, reports on, the site's own values.
    if (!central->Write("DETC5", kDataText, Text(setup.siteNumber), error)) return result;
    if (!site->Write("DETC", kDataText, Text(setup.centralNumber), error)) return result;
    RegisterValue on{};
    on.bitValue = 1;
    if (!site->Write("COMFLAG", kDataBit, on, error)) return result;
    static const char* const kSiteAddresses[4] = {"M121", "M122", "M123", "M124"};
    for (int i = 0; i < 4; ++i) {
        if (!site->Write(kSiteAddresses[i], kDataInt, Int(kRoadSiteValues[i]), error)) return result;
    }
    RegisterValue real{};
    real.floatValue = 2.9f;  // the site keeps it as the integer 2
    if (!site->Write("M123", kDataFloat, real, error)) return result;

    const uint32_t start = SystemClock().TickCount();

    // 1-3: the host at the centre writes 42 to M5.120.
    if (!central->Write("M5.120", kDataInt, Int(42), error)) return result;
    result.writeMs = SystemClock().TickCount() - start;

    // 4-5: the site's host reads its group; the poll applies the command and reports.
    RegisterValue value{};
    for (result.sitePolls = 1;; ++result.sitePolls) {
        const uint32_t t = SystemClock().TickCount();
        if (!site->Read("M120", kDataInt, value, error)) return result;
        result.siteReadMs = SystemClock().TickCount() - t;
        if (static_cast<uint32_t>(value.intValue) == 42 || result.sitePolls == kAttempts) break;
        SystemClock().Sleep(kRetryWaitMs);
        result.retryWaitMs += kRetryWaitMs;
    }
    result.siteSaw120 = static_cast<uint32_t>(value.intValue);
    if (result.siteSaw120 != 42) {
        error = "the write command never reached the site";
        return result;
    }

    // 6: the centre's next poll. The write stored 42 at the centre already, so
    // the report shows in the other four registers.
    for (result.centralPolls = 1;; ++result.centralPolls) {
        const uint32_t t = SystemClock().TickCount();
        if (!central->Read("M5.120", kDataInt, value, error)) return result;
        result.centralReadMs = SystemClock().TickCount() - t;
        if (central->station.image[5][121].value == kRoadSiteValues[0] || result.centralPolls == kAttempts) break;
        SystemClock().Sleep(kRetryWaitMs);
        result.retryWaitMs += kRetryWaitMs;
    }
    result.totalMs = SystemClock().TickCount() - start;
    result.pauseMs = clock.pauseMs;
    result.pauses = clock.pauses;

    // The host's reads of the group answer from the image, within the poll interval.
    static const char* const kCentralAddresses[5] = {"M5.120", "M5.121", "M5.122", "M5.123", "M5.124"};
    for (int i = 0; i < 5; ++i) {
        if (!central->Read(kCentralAddresses[i], kDataInt, value, error)) return result;
        result.centralSaw[i] = static_cast<uint32_t>(value.intValue);
    }
    if (result.centralSaw[1] != kRoadSiteValues[0]) error = "the report never reached the centre";
    central->station.Close(0);
    site->station.Close(0);
    return result;
}

std::string DescribeRoad(const RoadResult& r) {
    char line[400];
    std::snprintf(line, sizeof line,
                  "road: total %u ms (write %u, site read %u, central read %u); %d pauses of 1000 ms took %u ms "
                  "(%.0f%%); waits between retried polls %u ms; site polls %d, central polls %d",
                  r.totalMs, r.writeMs, r.siteReadMs, r.centralReadMs, r.pauses, r.pauseMs,
                  r.totalMs ? 100.0 * r.pauseMs / r.totalMs : 0.0, r.retryWaitMs, r.sitePolls, r.centralPolls);
    return line;
}

}  // namespace kelvora::testing
