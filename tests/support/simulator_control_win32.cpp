// One request line to the simulator's TCP control port, with Winsock (a Win32
// test under Wine reaches the native simulator this way).
#include <winsock2.h>

#include <chrono>

#include "support/simulator_control.h"

namespace kelvora::testing {

bool ExchangeLine(uint16_t port, const std::string& line, std::string* reply, uint32_t timeoutMs, std::string* error) {
    static const bool started = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    if (!started) {
        *error = "Winsock did not start";
        return false;
    }
    const SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (s == INVALID_SOCKET || connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        *error = "connect to the simulator failed: " + std::to_string(WSAGetLastError());
        if (s != INVALID_SOCKET) closesocket(s);
        return false;
    }
    bool ok = send(s, line.data(), static_cast<int>(line.size()), 0) == static_cast<int>(line.size());
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    reply->clear();
    while (ok && reply->find('\n') == std::string::npos) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
        if (left <= 0) break;
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(s, &readable);
        timeval wait{static_cast<long>(left / 1000), static_cast<long>((left % 1000) * 1000)};
        if (select(0, &readable, nullptr, nullptr, &wait) <= 0) break;
        char buffer[4096];
        const int n = recv(s, buffer, sizeof buffer, 0);
        if (n <= 0) break;
        reply->append(buffer, static_cast<size_t>(n));
    }
    closesocket(s);
    const size_t end = reply->find('\n');
    if (end == std::string::npos) {
        *error = "no reply from the simulator";
        return false;
    }
    reply->resize(end);
    return true;
}

}  // namespace kelvora::testing
