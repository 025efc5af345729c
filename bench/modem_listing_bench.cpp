// kelvora_bench_modem_listing: the collection of a 128-message listing from a
// simulated modem that paces its bytes at 9600 and 115200 baud, over a real
// pty and the POSIX serial binding, against the line time (the bytes the modem
// sent, 10 bits each, at that rate). The collection is ListMessages' own:
// ExchangeUntil("AT+CMGL\r") and the scan, here with the response length kept
// so that lost bytes show.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "driver/standing_alone.h"
#include "driver/host_records.h"
#include "modem/gsm_modem.h"
#include "modem/listing_scan.h"
#include "modemsim/modemsim.h"
#include "serial/serial_port.h"

using namespace kelvora;

namespace {

constexpr int kMessages = 128;
constexpr int kComPort = 57;  // the binding finds the pty through KELVORA_COM57

struct Figures {
    double collectSeconds = 0;
    double lineSeconds = 0;
    long long lost = 0;
    int records = 0;
    uint64_t bytes = 0;
};

bool Collect(uint32_t baud, uint32_t baudCode, Figures& out) {
    modemsim::NetworkOptions options;
    options.modemCount = 1;
    options.capacity = 200;
    modemsim::Network network(options);
    std::string error;
    if (!network.Start(&error)) {
        std::fprintf(stderr, "simulator: %s\n", error.c_str());
        return false;
    }
    modemsim::Modem modem = network.modem(0);
    modem.SetEcho(false);
    for (int i = 0; i < kMessages; ++i) {
        char frame[32];
        std::snprintf(frame, sizeof frame, "BEGINWM05%03d%08XEND", i % 1000, 0x1000u + static_cast<unsigned>(i));
        if (modem.InjectText("+8613900000002", frame, modemsim::Coding::Ucs2, 0, &error) < 0) {
            std::fprintf(stderr, "inject: %s\n", error.c_str());
            return false;
        }
    }
    setenv(("KELVORA_COM" + std::to_string(kComPort)).c_str(), modem.DevicePath().c_str(), 1);

    StandingAlone<> driver;
    LineSettings line{};
    line.portIndex = kComPort - 1;
    line.baudCode = baudCode;
    line.eightDataBits = 1;
    line.parityCode = 2;
    line.timeout = 3000;
    PortConfig config{};
    config.lineSettings = &line;
    driver.SetPort(CreateSerialPort());
    if (driver.Open(&config) != 1) {
        std::fprintf(stderr, "open: %s\n", driver.GetStatusText());
        return false;
    }
    modem.SetBaudRate(baud);

    GsmModem gsm(driver.Line());
    std::vector<SmsRecord> records(kMaxListedRecords);
    const uint64_t before = modem.BytesSent();
    std::string buffer = "AT+CMGL\r";
    uint32_t length = static_cast<uint32_t>(buffer.size());
    const auto start = std::chrono::steady_clock::now();
    gsm.ExchangeUntil(buffer, length, "\r\nOK\r\n");
    out.records = ScanListing(buffer.data(), length, records.data(), kMaxListedRecords);
    const auto end = std::chrono::steady_clock::now();
    modem.WaitForOutputDrained(std::chrono::milliseconds(1000));
    out.bytes = modem.BytesSent() - before;
    out.collectSeconds = std::chrono::duration<double>(end - start).count();
    out.lineSeconds = static_cast<double>(out.bytes) * 10.0 / baud;
    out.lost = static_cast<long long>(out.bytes) - static_cast<long long>(length);
    driver.Close(0);
    network.Stop();
    return true;
}

}  // namespace

int main() {
    Figures slow, fast;
    if (!Collect(115200, 12, fast) || !Collect(9600, 6, slow)) return 1;
    for (const auto& [name, f] : {std::pair<const char*, const Figures&>{"115200", fast}, {"9600", slow}}) {
        std::printf("listing at %s baud: %d records, %llu bytes, collected in %.3f s, line time %.3f s\n", name,
                    f.records, static_cast<unsigned long long>(f.bytes), f.collectSeconds, f.lineSeconds);
    }
    std::printf("listing_9600_vs_line_time: %.3f\n", slow.collectSeconds / slow.lineSeconds);
    std::printf("listing_115200_vs_line_time: %.3f\n", fast.collectSeconds / fast.lineSeconds);
    std::printf("listing_bytes_lost: %lld\n", slow.lost + fast.lost);
    std::printf("listing_records: %d\n", (slow.records == kMessages && fast.records == kMessages) ? kMessages : -1);
    return (slow.records == kMessages && fast.records == kMessages && slow.lost + fast.lost == 0) ? 0 : 1;
}
