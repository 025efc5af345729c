// kelvora_bench_stations: what a host waits for and what a poll leaves
// behind, measured on the modem simulator over real ptys with the stations on
// the POSIX serial binding and the real clock.
//   refused_send_vs_pause   the host's time for a central write that the
//                           network refuses, over the 1000 ms pause before it
//   storage_left_after_130  messages still stored at a site after two polls
//                           of a store of 130, at 9600 baud
//   poll_overhead_ms        a central poll of an empty store beyond its
//                           1000 ms pause, at 9600 baud
//   trace_overhead          the road of one write and one report with the
//                           dialogue trace to a file, over the same road
//                           without it, runs taken in turns
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "hosted_device.h"
#include "road.h"
#include "modemsim/modemsim.h"
#include "stations/central_station.h"
#include "stations/remote_station.h"

using namespace kelvora;
using namespace kelvora::testing;

namespace {

constexpr int kCentralPort = 58;  // the binding finds the pty through KELVORA_COM58
constexpr int kSitePort = 59;
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

// Two polls of a site whose modem holds 130 write commands; the messages
// left in its store, or -1.
int StorageLeftAfter130() {
    modemsim::NetworkOptions options;
    options.modemCount = 2;
    options.capacity = 200;
    options.baudRate = 9600;
    modemsim::Network network(options);
    std::string error;
    if (!network.Start(&error)) {
        std::fprintf(stderr, "simulator: %s\n", error.c_str());
        return -1;
    }
    modemsim::Modem modem = network.modem(1);
    for (int i = 0; i < 130; ++i) {
        char frame[32];
        std::snprintf(frame, sizeof frame, "BEGINWM05%03d%08XEND", i, static_cast<unsigned>(i) + 1);
        if (modem.InjectText(network.modem(0).Number(), frame, modemsim::Coding::Ucs2, 0, &error) < 0) {
            std::fprintf(stderr, "inject: %s\n", error.c_str());
            return -1;
        }
    }
    setenv(("KELVORA_COM" + std::to_string(kSitePort)).c_str(), modem.DevicePath().c_str(), 1);
    Device<RemoteStation> site;
    RegisterValue value{};
    if (!site.Open(kSitePort - 1, 5000, error) || site.station.ParseDeviceAddress("5", &site.deviceAddress) != 1 ||
        !site.Read("M500", kDataInt, value, error) || !site.Read("M505", kDataInt, value, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return -1;
    }
    int applied = 0;
    for (int i = 0; i < 130; ++i) applied += site.station.image[static_cast<size_t>(i)].value == uint32_t(i) + 1;
    std::printf("two polls of 130 stored messages: %d applied, %zu left in the store\n", applied,
                modem.Stored().size());
    site.station.Close(0);
    const int left = static_cast<int>(modem.Stored().size());
    network.Stop();
    return applied == 130 ? left : -1;
}

// The mean time of central polls of an empty store beyond the 1000 ms pause,
// in milliseconds, or -1.
double PollOverheadMs() {
    modemsim::NetworkOptions options;
    options.modemCount = 1;
    options.baudRate = 9600;
    modemsim::Network network(options);
    std::string error;
    if (!network.Start(&error)) return -1;
    setenv(("KELVORA_COM" + std::to_string(kCentralPort)).c_str(), network.modem(0).DevicePath().c_str(), 1);
    network.modem(0).SetEcho(false);
    Device<CentralStation> central;
    if (!central.Open(kCentralPort - 1, 5000, error)) return -1;
    constexpr int kPolls = 5;
    double total = 0;
    for (int i = 0; i < kPolls; ++i) {
        RegisterValue value{};
        const std::string address = "M5." + std::to_string(5 * i);  // a group not polled yet
        const auto start = std::chrono::steady_clock::now();
        if (!central.Read(address.c_str(), kDataInt, value, error)) return -1;
        total += Seconds(start) * 1000.0 - kPauseMs;
    }
    central.station.Close(0);
    network.Stop();
    return total / kPolls;
}

// The road's total time with the trace on over the time with it off, the
// runs taken in turns so that both see the same machine; -1 on failure.
double TraceOverhead(const char* tracePath) {
    constexpr int kRounds = 3;
    double off = 0, on = 0;
    for (int round = 0; round < 2 * kRounds; ++round) {
        const bool traced = round % 2 == 1;
        modemsim::NetworkOptions options;
        options.modemCount = 2;
        modemsim::Network network(options);
        std::string error;
        if (!network.Start(&error)) return -1;
        setenv("KELVORA_COM1", network.modem(0).DevicePath().c_str(), 1);
        setenv("KELVORA_COM2", network.modem(1).DevicePath().c_str(), 1);
        if (traced) setenv("KELVORA_TRACE", tracePath, 1);
        RoadSetup setup;
        setup.centralNumber = network.modem(0).Number();
        setup.siteNumber = network.modem(1).Number();
        const RoadResult road = RunRoad(setup);
        unsetenv("KELVORA_TRACE");
        network.Stop();
        if (!road.error.empty()) {
            std::fprintf(stderr, "road: %s\n", road.error.c_str());
            return -1;
        }
        std::printf("road %s the trace: %u ms\n", traced ? "with" : "without", road.totalMs);
        (traced ? on : off) += road.totalMs;
    }
    return on / off;
}

}  // namespace

int main() {
    const double refused = RefusedWrite();
    if (refused < 0) return 1;
    std::printf("refused central write: %.3f s (reply time-out 10 s, pause %u ms)\n", refused, kPauseMs);
    std::printf("refused_send_vs_pause: %.3f\n", refused * 1000.0 / kPauseMs);
    const double overhead = PollOverheadMs();
    if (overhead < 0) return 1;
    std::printf("poll_overhead_ms: %.1f\n", overhead);
    const int left = StorageLeftAfter130();
    if (left < 0) return 1;
    std::printf("storage_left_after_130: %d\n", left);
    const char* tracePath = "bench_road.trace";
    std::remove(tracePath);
    const double traced = TraceOverhead(tracePath);
    std::remove(tracePath);
    if (traced < 0) return 1;
    std::printf("trace_overhead: %.3f\n", traced);
    return 0;
}
