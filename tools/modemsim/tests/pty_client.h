// A test's end of a modem's pty: raw mode, writes, and reads that wait for a
// text with a bound.
#pragma once

#include <chrono>
#include <string>

namespace modemsim_test {

class PtyClient {
public:
    explicit PtyClient(const std::string& path);
    ~PtyClient();
    PtyClient(const PtyClient&) = delete;
    PtyClient& operator=(const PtyClient&) = delete;

    bool ok() const { return fd_ >= 0; }
    bool Write(const std::string& bytes);
    // Reads until `terminator` has arrived (it and what came before are
    // returned and consumed) or the time is up (then all that came is returned).
    std::string ReadUntil(const std::string& terminator, std::chrono::milliseconds timeout);
    // Reads whatever arrives within the time.
    std::string ReadFor(std::chrono::milliseconds duration);
    // Writes a command and returns the answer up to its final result.
    std::string Command(const std::string& command, std::chrono::milliseconds timeout = std::chrono::seconds(5));

private:
    int fd_ = -1;
    std::string pending_;
};

}  // namespace modemsim_test
