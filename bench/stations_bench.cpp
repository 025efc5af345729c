// kelvora_bench_stations: what a host waits for and what a poll leaves
// behind, measured on the modem simulator over real ptys with the stations on
// the POSIX serial binding and the real clock.
//   refused_send_vs_pause  the host's time for a central write that the
//                          network refuses, over the 1000 ms pause before it
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "hosted_device.h"
#include "modemsim/modemsim.h"
#include "stations/central_station.h"

using namespace kelvora;
using namespace kelvora::testing;

namespace {

constexpr int kCentralPort = 58;  // the binding finds the pty through KELVORA_COM58
constexpr uint32_t kPauseMs = 1000;

double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// A central write of M5.120 that the network refuses with +CMS ERROR: 500,
// with a 10 s reply time-out. The host's time in seconds, or -1.
double RefusedWrite() {
    modemsim::NetworkOptions options;
    options.modemCount = 2;
    modemsim::Network network(options);
    std::string error;
    if (!network.Start(&error)) {
        std::fprintf(stderr, "simulator: %s\n", error.c_str());
        return -1;
    }
    setenv(("KELVORA_COM" + std::to_string(kCentralPort)).c_str(), network.modem(0).DevicePath().c_str(), 1);
    modemsim::Fault fault;
    fault.kind = modemsim::FaultKind::CmsError;
    fault.command = "PDU";
    fault.cmsError = 500;
    network.modem(0).InjectFault(fault);

    Device<CentralStation> central;
    if (!central.Open(kCentralPort - 1, 10000, error) ||
        !central.Write("DETC5", kDataText, Text(network.modem(1).Number()), error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return -1;
    }
    const auto start = std::chrono::steady_clock::now();
    const bool written = central.Write("M5.120", kDataInt, Int(42), error);
    const double seconds = Seconds(start);
    central.station.Close(0);
    network.Stop();
    if (written || central.failedStatus != kStatusWriteError) {
        std::fprintf(stderr, "the refused write was not reported as a write error\n");
        return -1;
    }
    return seconds;
}

}  // namespace

int main() {
    const double refused = RefusedWrite();
    if (refused < 0) return 1;
    std::printf("refused central write: %.3f s (reply time-out 10 s, pause %u ms)\n", refused, kPauseMs);
    std::printf("refused_send_vs_pause: %.3f\n", refused * 1000.0 / kPauseMs);
    return 0;
}
