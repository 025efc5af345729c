// How closely the simulated modems hold their line rate: a listing of stored
// reports (AT+CMGL=4) is read from the pty as fast as it comes, and the bytes
// per second between the first and the last read are set against the nominal
// rate (baud / 10: start bit, 8 data bits, stop bit).
//   pacing_<baud>_vs_nominal: achieved / nominal (1.000 is exact; pacing never runs faster)
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "modemsim/modemsim.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Result {
    bool ok = false;
    size_t bytes = 0;
    double bytesPerSecond = 0;
};

Result MeasureListing(uint32_t baud, int messages) {
    modemsim::NetworkOptions options;
    options.modemCount = 1;
    options.capacity = 255;
    modemsim::Network network(options);
    std::string error;
    Result result;
    if (!network.Start(&error)) {
        std::fprintf(stderr, "start: %s\n", error.c_str());
        return result;
    }
    modemsim::Modem modem = network.modem(0);
    for (int i = 0; i < messages; ++i) {
        char text[64];
        std::snprintf(text, sizeof text, "BEGINRM05%03d%08X%08X%08X%08X%08XEND", (i * 5) % 1000, i, i + 1, i + 2,
                      i + 3, i + 4);
        if (modem.InjectText("+8613900000002", text, modemsim::Coding::Ucs2, 0, &error) < 0) {
            std::fprintf(stderr, "inject: %s\n", error.c_str());
            return result;
        }
    }
    modem.SetBaudRate(baud);
    const int fd = open(modem.DevicePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) return result;
    termios tio{};
    tcgetattr(fd, &tio);
    cfmakeraw(&tio);
    tcsetattr(fd, TCSANOW, &tio);
    const std::string command = "AT+CMGL=4\r";
    if (write(fd, command.data(), command.size()) != static_cast<ssize_t>(command.size())) {
        close(fd);
        return result;
    }
    std::string received;
    size_t firstChunk = 0;
    Clock::time_point first, last;
    const Clock::time_point deadline = Clock::now() + std::chrono::seconds(120);
    while (received.find("\r\nOK\r\n") == std::string::npos && Clock::now() < deadline) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 1000) <= 0) continue;
        char buffer[4096];
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n <= 0) continue;
        last = Clock::now();
        if (received.empty()) {
            first = last;
            firstChunk = static_cast<size_t>(n);
        }
        received.append(buffer, static_cast<size_t>(n));
    }
    close(fd);
    network.Stop();
    const double seconds = std::chrono::duration<double>(last - first).count();
    if (received.find("\r\nOK\r\n") == std::string::npos || seconds <= 0) return result;
    result.ok = true;
    result.bytes = received.size();
    result.bytesPerSecond = static_cast<double>(received.size() - firstChunk) / seconds;
    return result;
}

}  // namespace

int main() {
    struct Case {
        uint32_t baud;
        int messages;
    };
    // About four seconds of line time each.
    const Case cases[] = {{9600, 16}, {115200, 128}};
    int status = 0;
    for (const Case& c : cases) {
        const Result r = MeasureListing(c.baud, c.messages);
        if (!r.ok) {
            std::printf("pacing at %u baud: listing not received\n", c.baud);
            status = 1;
            continue;
        }
        const double nominal = c.baud / 10.0;
        const double ratio = r.bytesPerSecond / nominal;
        std::printf("listing of %d messages at %u baud: %zu bytes, %.1f bytes/s (nominal %.1f)\n", c.messages, c.baud,
                    r.bytes, r.bytesPerSecond, nominal);
        std::printf("pacing_%u_vs_nominal: %.4f\n", c.baud, ratio);
        if (ratio < 0.97 || ratio > 1.03) status = 1;
    }
    return status;
}
