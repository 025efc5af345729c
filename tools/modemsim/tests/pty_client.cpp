// A test's end of a modem's pty (see pty_client.h).
#include "pty_client.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>

namespace modemsim_test {

PtyClient::PtyClient(const std::string& path) {
    fd_ = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0) return;
    termios tio{};
    tcgetattr(fd_, &tio);
    cfmakeraw(&tio);
    tcsetattr(fd_, TCSANOW, &tio);
}

PtyClient::~PtyClient() {
    if (fd_ >= 0) close(fd_);
}

bool PtyClient::Write(const std::string& bytes) {
    size_t done = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (done < bytes.size() && std::chrono::steady_clock::now() < deadline) {
        const ssize_t n = write(fd_, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<size_t>(n);
        } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
            return false;
        } else {
            pollfd p{fd_, POLLOUT, 0};
            poll(&p, 1, 50);
        }
    }
    return done == bytes.size();
}

std::string PtyClient::ReadUntil(const std::string& terminator, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        const size_t at = terminator.empty() ? std::string::npos : pending_.find(terminator);
        if (at != std::string::npos) {
            std::string out = pending_.substr(0, at + terminator.size());
            pending_.erase(0, at + terminator.size());
            return out;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) break;
        pollfd p{fd_, POLLIN, 0};
        if (poll(&p, 1, static_cast<int>(left.count())) <= 0) continue;
        char buffer[4096];
        const ssize_t n = read(fd_, buffer, sizeof buffer);
        if (n > 0) pending_.append(buffer, static_cast<size_t>(n));
        else if (n == 0 || (errno != EAGAIN && errno != EINTR)) break;
    }
    std::string out;
    out.swap(pending_);
    return out;
}

std::string PtyClient::ReadFor(std::chrono::milliseconds duration) { return ReadUntil(std::string(), duration); }

std::string PtyClient::Command(const std::string& command, std::chrono::milliseconds timeout) {
    if (!Write(command)) return "<write failed>";
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    std::string out;
    static const char* const kFinals[] = {"\r\nOK\r\n", "\r\nERROR\r\n", "\r\n> "};
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return out;
        out += ReadUntil("\r\n", std::min(left, std::chrono::milliseconds(50)));
        for (const char* f : kFinals) {
            if (out.size() >= std::string(f).size() && out.compare(out.size() - std::string(f).size(), std::string::npos, f) == 0)
                return out;
        }
        if (out.find("+CMS ERROR:") != std::string::npos && out.size() >= 2 && out.compare(out.size() - 2, 2, "\r\n") == 0)
            return out;
    }
}

}  // namespace modemsim_test
