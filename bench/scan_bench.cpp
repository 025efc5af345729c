// kelvora_bench_scan: what a host's scan of many groups costs at the centre,
// on the modem simulator at 9600 baud over real ptys, with the real clock.
// Each scan starts with the same store: one report from each of kReporting
// sites, sent 3 s or more before the scan.
//   scan_ms_per_group_group    a scan of 32 groups (one register each) with the
//                              default poll scope, per group: every read polls
//   scan_320_groups_station_s  a scan of 32 sites x 10 groups (five registers
//                              each) with the station-wide poll; every stored
//                              report must show in it
//   scan_speedup               320 x the first over the second
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

constexpr int kCentralPort = 57;  // the binding finds the pty through KELVORA_COM57
constexpr int kSites = 32;
constexpr int kGroupsPerSite = 10;
constexpr int kReporting = 5;
constexpr uint32_t kBaud = 9600;
constexpr int kSiteSpacing = kSites / kReporting;

int ReportingSite(int i) { return i * kSiteSpacing; }

std::string ReportText(int site, uint32_t value) {
    char text[64];
    std::snprintf(text, sizeof text, "BEGINRM%02d000%08X%08X%08X%08X%08XEND", site, value, value, value, value,
                  value);
    return text;
}

struct Scan {
    double seconds = -1;
    int groups = 0;
};

// Reads the groups of `sites` sites in order, `registersPerGroup` registers
// of each, after the store is given its reports; checks that each report
// shows where it is read.
Scan RunScan(const char* scope, int sites, int groupsPerSite, int registersPerGroup) {
    modemsim::NetworkOptions options;
    options.modemCount = 1 + kReporting;
    options.baudRate = kBaud;
    modemsim::Network network(options);
    std::string error;
    if (!network.Start(&error)) {
        std::fprintf(stderr, "simulator: %s\n", error.c_str());
        return {};
    }
    setenv(("KELVORA_COM" + std::to_string(kCentralPort)).c_str(), network.modem(0).DevicePath().c_str(), 1);
    setenv("KELVORA_POLL_SCOPE", scope, 1);  // read as the station is created
    Device<CentralStation> central;
    unsetenv("KELVORA_POLL_SCOPE");
    if (!central.Open(kCentralPort - 1, 5000, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return {};
    }
    for (int i = 0; i < kReporting; ++i) {
        if (network.modem(0).InjectText(network.modem(1 + i).Number(), ReportText(ReportingSite(i), 1000 + i),
                                        modemsim::Coding::Ucs2, 0, &error) < 0) {
            std::fprintf(stderr, "inject: %s\n", error.c_str());
            return {};
        }
    }
    Scan scan;
    const auto start = std::chrono::steady_clock::now();
    for (int site = 0; site < sites; ++site) {
        for (int group = 0; group < groupsPerSite; ++group) {
            for (int r = 0; r < registersPerGroup; ++r) {
                RegisterValue value{};
                const std::string address = "M" + std::to_string(site) + "." + std::to_string(5 * group + r);
                if (!central.Read(address.c_str(), kDataInt, value, error)) {
                    std::fprintf(stderr, "%s\n", error.c_str());
                    return {};
                }
                const int reporter = site / kSiteSpacing;
                const bool reported = group == 0 && reporter < kReporting && ReportingSite(reporter) == site;
                if (reported && static_cast<uint32_t>(value.intValue) != 1000u + static_cast<uint32_t>(reporter)) {
                    std::fprintf(stderr, "%s reads %d: the report stored before the scan does not show\n",
                                 address.c_str(), value.intValue);
                    return {};
                }
            }
            ++scan.groups;
        }
    }
    scan.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    central.station.Close(0);
    network.Stop();
    return scan;
}

}  // namespace

int main() {
    const Scan group = RunScan("group", 1, 32, 1);
    if (group.seconds < 0) return 1;
    const double msPerGroup = group.seconds * 1000.0 / group.groups;
    std::printf("group scope: %d groups in %.2f s (%d reports stored, %u baud)\n", group.groups, group.seconds,
                kReporting, kBaud);
    std::printf("scan_ms_per_group_group: %.0f\n", msPerGroup);
    const Scan station = RunScan("station", kSites, kGroupsPerSite, 5);
    if (station.seconds < 0) return 1;
    std::printf("station scope: %d groups in %.2f s (%d reports stored, %u baud)\n", station.groups,
                station.seconds, kReporting, kBaud);
    std::printf("scan_320_groups_station_s: %.2f\n", station.seconds);
    std::printf("scan_speedup: %.0f\n", 320.0 * msPerGroup / 1000.0 / station.seconds);
    return 0;
}
