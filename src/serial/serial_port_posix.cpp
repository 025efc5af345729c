// The POSIX binding of SerialPort (see the header): opening and closing the
// device, and the registry of the per-device state a terminal has no place
// for (comm_state_posix.h). Settings are in serial_settings_posix.cpp, the
// bounded transfers and event waits in serial_transfer_posix.cpp.
#include "serial/serial_port_posix.h"

#include <fcntl.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <unordered_map>

#include "serial/comm_state_posix.h"
#include "serial/tty_settings_posix.h"

namespace kelvora {

namespace {

std::mutex stateLock;
std::unordered_map<int, PosixSerialPort::CommState*>* states = nullptr;

// Descriptors 0 to 2 are never kept, so that 0 can mean "no device".
int KeepAbove2(int fd) {
    if (fd < 0 || fd > 2) return fd;
    const int moved = fcntl(fd, F_DUPFD_CLOEXEC, 3);
    const int saved = errno;
    close(fd);
    errno = saved;
    return moved;
}

}  // namespace

PosixSerialPort::~PosixSerialPort() {
    if (device != 0) Close();
}

PosixSerialPort::CommState& PosixSerialPort::State() {
    std::lock_guard<std::mutex> hold(stateLock);
    if (states == nullptr) states = new std::unordered_map<int, CommState*>();
    CommState*& state = (*states)[Fd()];
    if (state == nullptr) state = new CommState();
    return *state;
}

std::string PosixSerialPort::ResolveDevicePath(const char* path) {
    if (path == nullptr) return std::string();
    static const char kPrefix[] = "\\\\.\\COM";
    const size_t prefix = sizeof kPrefix - 1;
    if (std::strncmp(path, kPrefix, prefix) != 0 || path[prefix] == '\0') return path;
    unsigned long n = 0;
    for (const char* p = path + prefix; *p != '\0'; ++p) {
        if (*p < '0' || *p > '9' || n > 100000) return path;
        n = n * 10 + static_cast<unsigned long>(*p - '0');
    }
    if (n == 0) return path;
    const std::string variable = "KELVORA_COM" + std::to_string(n);
    const char* value = std::getenv(variable.c_str());
    if (value != nullptr && *value != '\0') return value;
    return "/dev/ttyS" + std::to_string(n - 1);
}

uint32_t PosixSerialPort::Open(const char* path, uint32_t /*inQueueSize*/, uint32_t /*outQueueSize*/) {
    lastError = 0;
    if (device != 0) return Fail(kPortAlreadyOpen);
    const std::string file = ResolveDevicePath(path);
    if (file.empty()) return Fail(ENOENT);

    int fd = KeepAbove2(open(file.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (fd < 0) return Fail(Errno());
    // Not shared, as on Windows: a second opening of the device is refused.
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const uint32_t error = (errno == EWOULDBLOCK) ? static_cast<uint32_t>(EBUSY) : Errno();
        close(fd);
        return Fail(error);
    }
    const int event = KeepAbove2(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    if (event < 0) {
        const uint32_t error = Errno();
        close(fd);
        return Fail(error);
    }
    device = static_cast<PlatformHandle>(fd);
    ioEvent = static_cast<PlatformHandle>(event);

    // The queues are the kernel's; what is checked here is that the device
    // is a terminal, and it is put in raw mode with reads that never block.
    TtySettings t;
    int error = isatty(fd) ? ReadTtySettings(fd, &t) : ENOTTY;
    if (error == 0) {
        t.iflag &= ~static_cast<uint32_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF |
                                          IXANY | INPCK);
        t.oflag &= ~static_cast<uint32_t>(OPOST);
        t.lflag &= ~static_cast<uint32_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
        t.cflag |= CLOCAL | CREAD;
        t.cc[VMIN] = 0;
        t.cc[VTIME] = 0;
        error = WriteTtySettings(fd, t);
    }
    if (error != 0) {
        Close();
        return Fail(static_cast<uint32_t>(error));
    }
    State() = CommState{};

    // Each default resets lastError: only the last one's failure is reported.
    SetEventMask(kEventAll);
    SetLineSettings(9600, 8, kParityNone, 0);
    SetReadTimeoutMode(0);
    SetHandshakeMode(kHandshakeNone);
    tcflush(fd, TCIOFLUSH);
    return lastError;
}

uint32_t PosixSerialPort::Close() {
    lastError = 0;
    if (device == 0) return 0;
    {
        std::lock_guard<std::mutex> hold(stateLock);
        if (states != nullptr) {
            auto found = states->find(Fd());
            if (found != states->end()) {
                delete found->second;
                states->erase(found);
            }
        }
    }
    if (ioEvent != 0) close(static_cast<int>(ioEvent));
    ioEvent = 0;
    close(Fd());
    device = 0;
    return 0;
}

std::unique_ptr<SerialPort> CreateSerialPort() { return std::make_unique<PosixSerialPort>(); }

}  // namespace kelvora
