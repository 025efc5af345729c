// kelvora_bench_view: what HoldWrites and StaleAfter cost a central read,
// both on against both off, runs taken in turns so that both see the same
// machine (the best of each, as the least disturbed):
//   view_read_ratio   a read answered from the image (the host's usual read:
//                     its group was polled less than 3 s ago)
//   view_poll_ratio   a read that polls and applies a listing of twenty
//                     reports, a written value held in one of their groups
// The station runs on a fake clock over the station tests' fake modem, so
// that the driver's own work is what is measured.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "driver/host_records.h"
#include "driver/i_device_driver.h"
#include "driver/standing_alone.h"
#include "fake_modem.h"
#include "stations/central_station.h"
#include "stations/station_registers.h"
#include "support/fake_clock.h"
#include "support/scripted_port.h"

using namespace kelvora;
using namespace kelvora::testing;

namespace {

constexpr int kRounds = 101;
constexpr int kReadsPerRound = 100000;
constexpr int kPollsPerRound = 40;
constexpr int kReportsPerPoll = 20;
constexpr double kGoal = 1.02;  // a read with both options on, against one without

struct Rig {
    FakeClock clock{100000};
    StandingAlone<CentralStation> station;
    FakeModem* modem = nullptr;
    std::unique_ptr<FakeModem> owned;

    explicit Rig(bool options) {
        auto port = std::make_unique<ScriptedPort>(&clock);
        port->Open("\\\\.\\COM1", 1 << 16, 1 << 16);
        ScriptedPort& line = *port;
        station.SetClock(clock);
        station.SetPort(std::move(port));
        station.timeoutMs = 200;
        owned = std::make_unique<FakeModem>(line, clock);
        modem = owned.get();
        modem->answerDelayMs = 0;
        station.view.SetOptions(ViewOptions{options, options ? 3600u : 0u});
        RegisterRequest detc{};
        detc.typeIndex = kTypeDetc;
        detc.address0 = 5;
        detc.dataType = kDataText;
        RegisterValue number{};
        std::snprintf(number.textValue, sizeof number.textValue, "+8613900000005");
        station.Write(nullptr, &detc, &number);
        Write();
    }
    // M5.120 = 42: held against reports when the options are on.
    void Write() {
        RegisterRequest m{};
        m.typeIndex = kTypeM;
        m.address0 = 5;
        m.address1 = 120;
        m.dataType = kDataInt;
        RegisterValue v{};
        v.intValue = 42;
        station.Write(nullptr, &m, &v);
    }
};

RegisterRequest M(int32_t site, int16_t address) {
    RegisterRequest r{};
    r.typeIndex = kTypeM;
    r.address0 = site;
    r.address1 = address;
    r.dataType = kDataInt;
    return r;
}

double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// Reads answered from the image, through the operation table as a host
// calls them: the clock stands still within a poll period.
double ImageReads(Rig& rig) {
    IDeviceDriver* driver = &rig.station;
    RegisterRequest r = M(5, 120);
    RegisterValue v{};
    driver->Read(nullptr, &r, &v);  // polls once; the rest answer from the image
    const auto start = std::chrono::steady_clock::now();
    int32_t sum = 0;
    for (int i = 0; i < kReadsPerRound; ++i) {
        r.address1 = static_cast<int16_t>(120 + (i & 3));
        driver->Read(nullptr, &r, &v);
        sum += v.intValue;
    }
    const double seconds = Seconds(start);
    if (sum == -1) std::printf("%d\n", sum);  // keeps the reads
    return seconds;
}

// Reads that poll: each lists twenty reports of site 5, one of them of the
// group of a register written just before (not timed).
double PollingReads(Rig& rig) {
    double seconds = 0;
    for (int i = 0; i < kPollsPerRound; ++i) {
        rig.Write();
        for (int k = 0; k < kReportsPerPoll; ++k) {
            char text[64];
            std::snprintf(text, sizeof text, "BEGINRM05%03d%08X%08X%08X%08X%08XEND", 120 + 5 * k, 7u, 7u, 7u, 7u, 7u);
            const int n = i * kReportsPerPoll + k;  // a second apart, in the order sent
            char stamp[32];
            std::snprintf(stamp, sizeof stamp, "231106%02d%02d%02d00", 12 + n / 3600, n / 60 % 60, n % 60);
            rig.modem->Receive("8613900000005", text, false, stamp);
        }
        rig.clock.Advance(3000);
        RegisterRequest r = M(5, 120);
        RegisterValue v{};
        const auto start = std::chrono::steady_clock::now();
        rig.station.Read(nullptr, &r, &v);
        seconds += Seconds(start);
    }
    return seconds;
}

double Best(const std::vector<double>& times) { return *std::min_element(times.begin(), times.end()); }

}  // namespace

int main() {
    std::vector<double> off, on, pollOff, pollOn;
    for (int round = 0; round < kRounds; ++round) {
        for (const bool options : {round % 2 == 0, round % 2 != 0}) {
            Rig rig(options);
            (options ? on : off).push_back(ImageReads(rig));
            (options ? pollOn : pollOff).push_back(PollingReads(rig));
        }
    }
    std::printf("image read: %.1f ns without the options, %.1f ns with HoldWrites and StaleAfter\n",
                Best(off) * 1e9 / kReadsPerRound, Best(on) * 1e9 / kReadsPerRound);
    std::printf("polling read (%d reports): %.1f us without, %.1f us with\n", kReportsPerPoll,
                Best(pollOff) * 1e6 / kPollsPerRound, Best(pollOn) * 1e6 / kPollsPerRound);
    const double read = Best(on) / Best(off);
    const double poll = Best(pollOn) / Best(pollOff);
    std::printf("view_read_ratio: %.3f\n", read);
    std::printf("view_poll_ratio: %.3f\n", poll);
    if (read > kGoal || poll > kGoal) {
        std::printf("the options cost a read more than %.2f times its time without them\n", kGoal);
        return 1;
    }
    return 0;
}
