// A pseudo-terminal for serial tests: the port under test opens the slave by
// its path, the test plays the far end on the master with bounded waits.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <string>

namespace kelvora::testing {

class PtyPair {
public:
    PtyPair() {
        char name[128] = {};
        if (openpty(&master_, &slave_, name, nullptr, nullptr) == 0) {
            path_ = name;
            fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
        }
    }
    ~PtyPair() {
        if (slave_ >= 0) close(slave_);
        if (master_ >= 0) close(master_);
    }
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    bool ok() const { return !path_.empty(); }
    const std::string& path() const { return path_; }
    int master() const { return master_; }

    // The far end sends.
    bool Send(const std::string& bytes) {
        return write(master_, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    }

    // What the port wrote: up to n bytes, waiting at most timeoutMs.
    std::string Receive(size_t n, int timeoutMs = 2000) {
        std::string got;
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (got.size() < n) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                                  end - std::chrono::steady_clock::now()).count();
            if (left <= 0) break;
            pollfd p{master_, POLLIN, 0};
            if (poll(&p, 1, static_cast<int>(left)) <= 0) break;
            char buffer[4096];
            const ssize_t r = read(master_, buffer, std::min(sizeof buffer, n - got.size()));
            if (r <= 0) break;
            got.append(buffer, static_cast<size_t>(r));
        }
        return got;
    }

    // The far end goes away (a modem unplugged, a simulator stopped).
    void HangUp() {
        if (master_ >= 0) close(master_);
        master_ = -1;
    }

    // Everything the port wrote that is there now.
    std::string Drain() {
        std::string got;
        char buffer[4096];
        ssize_t r;
        while ((r = read(master_, buffer, sizeof buffer)) > 0) got.append(buffer, static_cast<size_t>(r));
        return got;
    }

private:
    int master_ = -1;
    int slave_ = -1;
    std::string path_;
};

}  // namespace kelvora::testing
