// The control socket: a Unix stream socket, a line of JSON per request
// (see modemsim/control.h). One thread, poll over the listener and clients.
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <map>

#include "modemsim/control.h"

namespace modemsim {
namespace {

constexpr size_t kMaxRequest = 1 << 20;  // a client that sends more without a line end is dropped

bool MakeAddress(const std::string& path, sockaddr_un* address, std::string* error) {
    std::memset(address, 0, sizeof *address);
    address->sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof address->sun_path) {
        *error = "socket path empty or too long: " + path;
        return false;
    }
    std::memcpy(address->sun_path, path.c_str(), path.size());
    return true;
}

bool WriteAll(int fd, const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        pollfd p{fd, POLLOUT, 0};
        if (poll(&p, 1, 2000) <= 0) return false;
        const ssize_t n = send(fd, text.data() + done, text.size() - done, MSG_NOSIGNAL);
        if (n < 0 && errno != EAGAIN && errno != EINTR) return false;
        if (n > 0) done += static_cast<size_t>(n);
    }
    return true;
}

}  // namespace

bool ControlServer::Start(const std::string& socketPath, std::string* error, bool tcp) {
    if (pipe2(wake_, O_CLOEXEC | O_NONBLOCK) != 0) {
        *error = std::string("control: ") + std::strerror(errno);
        return false;
    }
    if (!socketPath.empty()) {
        sockaddr_un address;
        if (!MakeAddress(socketPath, &address, error)) return false;
        unlink(socketPath.c_str());
        listener_ = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        if (listener_ < 0 || bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            listen(listener_, 8) != 0) {
            *error = "control socket " + socketPath + ": " + std::strerror(errno);
            return false;
        }
        path_ = socketPath;
    }
    if (tcp) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = 0;  // the system picks a free port
        socklen_t length = sizeof address;
        tcpListener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        if (tcpListener_ < 0 || bind(tcpListener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            listen(tcpListener_, 8) != 0 ||
            getsockname(tcpListener_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
            *error = std::string("control TCP port: ") + std::strerror(errno);
            return false;
        }
        tcpPort_ = ntohs(address.sin_port);
    }
    thread_ = std::thread([this] { Loop(); });
    return true;
}

void ControlServer::Stop() {
    if (!thread_.joinable()) return;
    const char byte = 1;
    ssize_t ignored = write(wake_[1], &byte, 1);
    (void)ignored;
    thread_.join();
    for (int fd : {listener_, tcpListener_, wake_[0], wake_[1]}) {
        if (fd >= 0) close(fd);
    }
    listener_ = tcpListener_ = wake_[0] = wake_[1] = -1;
    if (!path_.empty()) unlink(path_.c_str());
}

void ControlServer::Loop() {
    std::map<int, std::string> clients;  // fd -> bytes of an unfinished line
    for (;;) {
        // A listener of -1 is skipped by poll.
        std::vector<pollfd> fds{{wake_[0], POLLIN, 0}, {listener_, POLLIN, 0}, {tcpListener_, POLLIN, 0}};
        for (const auto& c : clients) fds.push_back({c.first, POLLIN, 0});
        if (poll(fds.data(), fds.size(), 500) < 0 && errno != EINTR) break;
        if (fds[0].revents & POLLIN) break;
        for (size_t k = 1; k <= 2; ++k) {
            if (!(fds[k].revents & POLLIN)) continue;
            const int client = accept4(fds[k].fd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
            if (client >= 0) clients[client];
        }
        for (size_t k = 3; k < fds.size(); ++k) {
            if (!(fds[k].revents & (POLLIN | POLLHUP | POLLERR))) continue;
            const int fd = fds[k].fd;
            std::string& pending = clients[fd];
            char buffer[4096];
            const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
            bool drop = n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR);
            if (n > 0) pending.append(buffer, static_cast<size_t>(n));
            size_t end;
            while (!drop && (end = pending.find('\n')) != std::string::npos) {
                const std::string line = pending.substr(0, end);
                pending.erase(0, end + 1);
                if (line.find_first_not_of(" \t\r") == std::string::npos) continue;
                nlohmann::json reply;
                bool quit = false;
                const nlohmann::json request = nlohmann::json::parse(line, nullptr, false);
                if (request.is_discarded()) {
                    reply = {{"ok", false}, {"error", "not JSON"}};
                } else {
                    reply = HandleControlRequest(network_, request, &quit);
                }
                if (quit) quit_ = true;
                drop = !WriteAll(fd, DumpJson(reply) + "\n");
            }
            if (pending.size() > kMaxRequest) drop = true;
            if (drop) {
                close(fd);
                clients.erase(fd);
            }
        }
    }
    for (const auto& c : clients) close(c.first);
}

bool SendControlRequest(const std::string& socketPath, const nlohmann::json& request, nlohmann::json* reply,
                        Millis timeout, std::string* error) {
    sockaddr_un address;
    if (!MakeAddress(socketPath, &address, error)) return false;
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0 || connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        *error = "connect " + socketPath + ": " + std::strerror(errno);
        if (fd >= 0) close(fd);
        return false;
    }
    bool ok = WriteAll(fd, DumpJson(request) + "\n");
    std::string received;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (ok && received.find('\n') == std::string::npos) {
        const auto left = std::chrono::duration_cast<Millis>(deadline - std::chrono::steady_clock::now()).count();
        pollfd p{fd, POLLIN, 0};
        if (left <= 0 || poll(&p, 1, static_cast<int>(left)) <= 0) {
            ok = false;
            break;
        }
        char buffer[4096];
        const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0) ok = false; else received.append(buffer, static_cast<size_t>(n));
    }
    close(fd);
    if (!ok) {
        *error = "no reply from " + socketPath;
        return false;
    }
    *reply = nlohmann::json::parse(received.substr(0, received.find('\n')), nullptr, false);
    if (reply->is_discarded()) {
        *error = "reply is not JSON";
        return false;
    }
    return true;
}

}  // namespace modemsim
