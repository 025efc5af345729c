// kelvora_bench_line: how soon a station's line is back after its modem was
// unplugged, on the modem simulator over real ptys with the POSIX serial
// binding and the real clock. The host asks for the modem every 10 ms (an
// "AT" exchange); from the moment the device is there again to the first good
// exchange is set against its bound, one reopen spacing plus one exchange
// (the exchange measured on the same line before the unplug). Unplugs of
// several lengths put the device's return at several points of the spacing.
//   line_back_vs_bound   the worst trial's time to the first good exchange
//                        over its bound (at most 1.0, give or take the 10 ms
//                        between the host's calls)
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "driver/line_keeper.h"
#include "hosted_device.h"
#include "modem/gsm_modem.h"
#include "modemsim/modemsim.h"
#include "stations/central_station.h"

using namespace kelvora;
using namespace kelvora::testing;

namespace {

constexpr int kPort = 57;  // the binding finds the modem through KELVORA_COM57
constexpr uint32_t kAskEveryMs = 10;

using Steady = std::chrono::steady_clock;

double MsSince(Steady::time_point since) {
    return std::chrono::duration<double, std::milli>(Steady::now() - since).count();
}

bool Answered(GsmModem& modem) {
    std::string buffer = "AT\r";
    uint32_t length = static_cast<uint32_t>(buffer.size());
    ExchangeResult result;
    modem.ExchangeUntil(buffer, length, kFinalResult, &result);
    return result.outcome == ExchangeOutcome::kAnswered;
}

struct Trial {
    bool ok = false;
    double exchangeMs = 0;  // one good exchange, the median of ten
    double backToGoodMs = 0;
};

Trial Unplugged(uint32_t awayMs) {
    Trial trial;
    modemsim::NetworkOptions options;
    options.modemCount = 1;
    modemsim::Network network(options);
    std::string error;
    if (!network.Start(&error)) {
        std::fprintf(stderr, "simulator: %s\n", error.c_str());
        return trial;
    }
    const std::string path = network.modem(0).DevicePath();
    setenv(("KELVORA_COM" + std::to_string(kPort)).c_str(), path.c_str(), 1);
    Device<CentralStation> central;
    if (!central.Open(kPort - 1, 2000, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return trial;
    }
    GsmModem modem(central.station.Line());
    std::vector<double> times;
    for (int i = 0; i < 10; ++i) {
        const Steady::time_point start = Steady::now();
        if (!Answered(modem)) return trial;
        times.push_back(MsSince(start));
    }
    std::sort(times.begin(), times.end());
    trial.exchangeMs = times[times.size() / 2];

    network.modem(0).Unplug(std::chrono::milliseconds(awayMs), std::chrono::milliseconds(0));
    const Steady::time_point unplugged = Steady::now();
    Steady::time_point back{};
    bool isBack = false;
    while (MsSince(unplugged) < awayMs + 3.0 * kReopenSpacingMs) {
        if (!isBack && access(path.c_str(), F_OK) == 0) {
            isBack = true;
            back = Steady::now();
        }
        if (Answered(modem)) {
            trial.ok = isBack;
            trial.backToGoodMs = MsSince(back);
            break;
        }
        usleep(kAskEveryMs * 1000);
    }
    central.station.Close(0);
    network.Stop();
    return trial;
}

}  // namespace

int main() {
    int status = 0;
    double worst = 0;
    for (uint32_t awayMs : {700u, 2300u, 3900u, 5600u, 8200u}) {
        const Trial t = Unplugged(awayMs);
        if (!t.ok) {
            std::printf("unplugged %u ms: the line did not come back\n", awayMs);
            status = 1;
            continue;
        }
        const double bound = kReopenSpacingMs + t.exchangeMs;
        const double ratio = t.backToGoodMs / bound;
        worst = std::max(worst, ratio);
        std::printf("unplugged %u ms: first good exchange %.0f ms after the device was back (bound %.0f ms: "
                    "spacing %u + exchange %.1f), %.3f of the bound\n",
                    awayMs, t.backToGoodMs, bound, kReopenSpacingMs, t.exchangeMs, ratio);
    }
    std::printf("line_back_vs_bound: %.3f\n", worst);
    const double callSlack = static_cast<double>(kAskEveryMs) / kReopenSpacingMs;
    return status != 0 || worst > 1.0 + callSlack ? 1 : 0;
}
