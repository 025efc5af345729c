// One request line to the simulator's TCP control port, with POSIX sockets.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

#include "support/simulator_control.h"

namespace kelvora::testing {

bool ExchangeLine(uint16_t port, const std::string& line, std::string* reply, uint32_t timeoutMs, std::string* error) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd < 0 || connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        *error = std::string("connect to the simulator: ") + std::strerror(errno);
        if (fd >= 0) close(fd);
        return false;
    }
    bool ok = send(fd, line.data(), line.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(line.size());
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    reply->clear();
    while (ok && reply->find('\n') == std::string::npos) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
        pollfd p{fd, POLLIN, 0};
        if (left <= 0 || poll(&p, 1, static_cast<int>(left)) <= 0) break;
        char buffer[4096];
        const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0) break;
        reply->append(buffer, static_cast<size_t>(n));
    }
    close(fd);
    const size_t end = reply->find('\n');
    if (end == std::string::npos) {
        *error = "no reply from the simulator";
        return false;
    }
    reply->resize(end);
    return true;
}

}  // namespace kelvora::testing
