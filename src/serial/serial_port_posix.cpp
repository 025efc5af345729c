// The POSIX binding of SerialPort (see the header). A terminal has no place
// for a Win32 port's event mask, event character, DTR/RTS control modes or
// read time-outs: those live in a small state per open device, found by its
// descriptor, so that port objects sharing a device also share them.
#include "serial/serial_port_posix.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <unordered_map>

#include "serial/tty_settings_posix.h"

namespace kelvora {

struct PosixSerialPort::CommState {
    uint32_t eventMask = 0;
    uint8_t eventCharacter = 0;
    uint8_t dtrControl = 0;  // 0 off, 1 on, 2 handshake
    uint8_t rtsControl = 0;
    bool dsrFlow = false;
    uint32_t readInterval = 0;  // COMMTIMEOUTS' three read values
    uint32_t readMultiplier = 0;
    uint32_t readConstant = 0;
};

namespace {

constexpr uint32_t kForever = 0xFFFFFFFF;
constexpr int kShortNapMs = 2;  // re-check period while bytes trickle in

std::mutex stateLock;
std::unordered_map<int, PosixSerialPort::CommState*>* states = nullptr;

uint64_t NowMs() {
    using namespace std::chrono;
    return static_cast<uint64_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

// Milliseconds left of a wait that began at start, -1 without limit.
int64_t Remaining(uint64_t start, uint32_t limitMs) {
    if (limitMs == kForever) return -1;
    const uint64_t elapsed = NowMs() - start;
    return elapsed >= limitMs ? 0 : static_cast<int64_t>(limitMs - elapsed);
}

// Descriptors 0 to 2 are never kept, so that 0 can mean "no device".
int KeepAbove2(int fd) {
    if (fd < 0 || fd > 2) return fd;
    const int moved = fcntl(fd, F_DUPFD_CLOEXEC, 3);
    const int saved = errno;
    close(fd);
    errno = saved;
    return moved;
}

uint32_t Errno() { return errno != 0 ? static_cast<uint32_t>(errno) : static_cast<uint32_t>(EIO); }

// A pseudo-terminal has no modem lines: that is not an error of the port.
bool NoModemLines(int error) { return error == ENOTTY || error == EINVAL; }

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
    SetHandshakeMode(0);
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

uint32_t PosixSerialPort::SetLineSettings(uint32_t baudRate, uint8_t dataBits, uint8_t parity, uint8_t stopBits) {
    lastError = 0;
    if (device == 0) return Fail(kPortNotOpen);
    TtySettings t;
    if (const int error = ReadTtySettings(Fd(), &t)) return Fail(static_cast<uint32_t>(error));
    // What a terminal cannot take is refused before anything changes.
    if (baudRate < kMinBaudRate || baudRate > kMaxBaudRate || dataBits < 5 || dataBits > 8 ||
        parity > kParitySpace || (stopBits != 0 && stopBits != 2)) {
        return Fail(EINVAL);
    }
    static const uint32_t kSizes[] = {CS5, CS6, CS7, CS8};
    t.ospeed = baudRate;
    t.cflag = (t.cflag & ~static_cast<uint32_t>(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB)) | kSizes[dataBits - 5];
    switch (parity) {
        case kParityOdd: t.cflag |= PARENB | PARODD; break;
        case kParityEven: t.cflag |= PARENB; break;
        case kParityMark: t.cflag |= PARENB | CMSPAR | PARODD; break;
        case kParitySpace: t.cflag |= PARENB | CMSPAR; break;
        default: break;
    }
    if (parity != kParityNone) {
        t.iflag |= INPCK;
    } else {
        t.iflag &= ~static_cast<uint32_t>(INPCK);
    }
    if (stopBits == 2) t.cflag |= CSTOPB;
    if (const int error = WriteTtySettings(Fd(), t)) return Fail(static_cast<uint32_t>(error));
    return 0;
}

uint32_t PosixSerialPort::SetEventCharacter(uint8_t character, bool addToMask) {
    lastError = 0;
    if (device == 0) return Fail(kPortNotOpen);
    TtySettings t;
    if (const int error = ReadTtySettings(Fd(), &t)) return Fail(static_cast<uint32_t>(error));
    State().eventCharacter = character;
    if (addToMask) {
        const uint32_t mask = GetEventMask();
        SetEventMask(mask | kEventRxFlag);
    }
    return lastError;
}

uint32_t PosixSerialPort::SetEventMask(uint32_t mask) {
    lastError = 0;
    if (device == 0) return Fail(kPortNotOpen);
    TtySettings t;
    if (const int error = ReadTtySettings(Fd(), &t)) return Fail(static_cast<uint32_t>(error));
    State().eventMask = mask;
    return 0;
}

uint32_t PosixSerialPort::WaitForEvent(AsyncRequest* /*request*/, uint32_t timeoutMs) {
    lastError = 0;
    if (device == 0) return Fail(kPortNotOpen);
    // A received character is the event this binding reports; the others
    // need line-status interrupts a terminal does not deliver through poll.
    const bool wantsRx = (State().eventMask & kEventRxChar) != 0;
    const uint64_t start = NowMs();
    for (;;) {
        int waiting = 0;
        if (ioctl(Fd(), FIONREAD, &waiting) != 0) return Fail(Errno());
        if (wantsRx && waiting > 0) {
            lastEvent = kEventRxChar;
            return 0;
        }
        const int64_t left = Remaining(start, timeoutMs);
        if (left == 0) return Fail(kPortTimeout);
        pollfd p{Fd(), static_cast<short>(wantsRx ? POLLIN : 0), 0};
        const int ready = poll(&p, 1, left < 0 ? 1000 : static_cast<int>(left));
        if (ready < 0 && errno != EINTR) return Fail(Errno());
        if (ready > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0 && (p.revents & POLLIN) == 0) {
            return Fail(EIO);  // the far end of the line is gone
        }
    }
}

uint32_t PosixSerialPort::ModemLines(int bits, bool raise) {
    if (ioctl(Fd(), raise ? TIOCMBIS : TIOCMBIC, &bits) != 0 && !NoModemLines(errno)) return Errno();
    return 0;
}

uint32_t PosixSerialPort::SetHandshakeMode(int32_t mode) {
    lastError = 0;
    if (device == 0) return Fail(kPortNotOpen);
    if (mode < 0 || mode > 2) return Fail(kPortBadMode);
    TtySettings t;
    if (const int error = ReadTtySettings(Fd(), &t)) return Fail(static_cast<uint32_t>(error));
    // DTR control, RTS control, CTS and DSR output flow, XON/XOFF out and in.
    static const uint8_t kModes[3][6] = {{0, 0, 0, 0, 0, 0}, {2, 2, 1, 1, 0, 0}, {1, 1, 0, 0, 0, 0}};
    const uint8_t* m = kModes[mode];
    t.cflag = m[2] != 0 ? (t.cflag | CRTSCTS) : (t.cflag & ~static_cast<uint32_t>(CRTSCTS));
    t.iflag = m[4] != 0 ? (t.iflag | IXON) : (t.iflag & ~static_cast<uint32_t>(IXON));
    t.iflag = m[5] != 0 ? (t.iflag | IXOFF) : (t.iflag & ~static_cast<uint32_t>(IXOFF));
    if (const int error = WriteTtySettings(Fd(), t)) return Fail(static_cast<uint32_t>(error));
    CommState& state = State();
    state.dtrControl = m[0];
    state.rtsControl = m[1];
    state.dsrFlow = m[3] != 0;
    if (const uint32_t error = ModemLines(TIOCM_DTR, m[0] != 0)) return Fail(error);
    if (const uint32_t error = ModemLines(TIOCM_RTS, m[1] != 0)) return Fail(error);
    return 0;
}

uint32_t PosixSerialPort::SetReadTimeoutMode(int32_t mode) {
    lastError = 0;
    if (device == 0) return Fail(kPortNotOpen);
    if (mode < 0 || mode > 2) return Fail(kPortBadMode);
    TtySettings t;
    if (const int error = ReadTtySettings(Fd(), &t)) return Fail(static_cast<uint32_t>(error));
    static const uint32_t kModes[3][2] = {{kForever, 0}, {0, 0}, {kForever, 30}};
    CommState& state = State();
    state.readInterval = kModes[mode][0];
    state.readMultiplier = 0;
    state.readConstant = kModes[mode][1];
    return 0;
}

int32_t PosixSerialPort::GetBaudRate() {
    lastError = 0;
    if (device == 0) return Fail(kPortNotOpen), -1;
    TtySettings t;
    if (const int error = ReadTtySettings(Fd(), &t)) return Fail(static_cast<uint32_t>(error)), -1;
    return static_cast<int32_t>(t.ospeed);
}

int32_t PosixSerialPort::GetDataBits() {
    lastError = 0;
    if (device == 0) return Fail(kPortNotOpen), -1;
    TtySettings t;
    if (const int error = ReadTtySettings(Fd(), &t)) return Fail(static_cast<uint32_t>(error)), -1;
    switch (t.cflag & CSIZE) {
        case CS5: return 5;
        case CS6: return 6;
        case CS7: return 7;
        default: return 8;
    }
}

int32_t PosixSerialPort::GetParity() {
    lastError = 0;
    if (device == 0) return Fail(kPortNotOpen), -1;
    TtySettings t;
    if (const int error = ReadTtySettings(Fd(), &t)) return Fail(static_cast<uint32_t>(error)), -1;
    if ((t.iflag & INPCK) == 0 || (t.cflag & PARENB) == 0) return kParityNone;
    if ((t.cflag & CMSPAR) != 0) return (t.cflag & PARODD) != 0 ? kParityMark : kParitySpace;
    return (t.cflag & PARODD) != 0 ? kParityOdd : kParityEven;
}

int32_t PosixSerialPort::GetStopBits() {
    lastError = 0;
    if (device == 0) return Fail(kPortNotOpen), -1;
    TtySettings t;
    if (const int error = ReadTtySettings(Fd(), &t)) return Fail(static_cast<uint32_t>(error)), -1;
    return (t.cflag & CSTOPB) != 0 ? 2 : 0;
}

int32_t PosixSerialPort::GetHandshakeMode() {
    lastError = 0;
    if (device == 0) return Fail(kPortNotOpen), -1;
    TtySettings t;
    if (const int error = ReadTtySettings(Fd(), &t)) return Fail(static_cast<uint32_t>(error)), -1;
    const CommState& state = State();
    if (state.dtrControl == 2 && state.rtsControl == 2) return 1;
    if ((t.iflag & IXON) != 0 && (t.iflag & IXOFF) != 0) return 2;
    return 0;
}

uint32_t PosixSerialPort::GetEventMask() {
    lastError = 0;
    if (device == 0) return Fail(kPortNotOpen), 0;
    TtySettings t;
    if (const int error = ReadTtySettings(Fd(), &t)) return Fail(static_cast<uint32_t>(error)), 0;
    return State().eventMask;
}

uint8_t PosixSerialPort::GetEventCharacter() {
    lastError = 0;
    if (device == 0) return Fail(kPortNotOpen), 0;
    TtySettings t;
    if (const int error = ReadTtySettings(Fd(), &t)) return Fail(static_cast<uint32_t>(error)), 0;
    return State().eventCharacter;
}

uint32_t PosixSerialPort::Write(const void* bytes, uint32_t length, uint32_t* written, AsyncRequest* /*request*/,
                                uint32_t timeoutMs) {
    uint32_t privateCount = 0;
    uint32_t& done = written != nullptr ? *written : privateCount;
    done = 0;
    lastError = 0;
    if (device == 0) return Fail(kPortNotOpen);
    const char* data = static_cast<const char*>(bytes);
    const uint64_t start = NowMs();
    uint32_t sent = 0;
    while (sent < length) {
        const ssize_t n = write(Fd(), data + sent, length - sent);
        if (n > 0) {
            sent += static_cast<uint32_t>(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR) return Fail(Errno());
        const int64_t left = Remaining(start, timeoutMs);
        if (left == 0) {
            // Cancelled: what did not leave yet is dropped, as CancelIo does.
            tcflush(Fd(), TCOFLUSH);
            return Fail(kPortTimeout);
        }
        pollfd p{Fd(), POLLOUT, 0};
        if (poll(&p, 1, left < 0 ? 1000 : static_cast<int>(left)) < 0 && errno != EINTR) return Fail(Errno());
    }
    done = sent;
    return 0;
}

uint32_t PosixSerialPort::Read(void* buffer, uint32_t capacity, uint32_t* count, AsyncRequest* /*request*/,
                               uint32_t timeoutMs) {
    uint32_t privateCount = 0;
    uint32_t& done = count != nullptr ? *count : privateCount;
    done = 0;
    lastError = 0;
    if (device == 0) return Fail(kPortNotOpen);
    const CommState state = State();
    // Interval "forever" with no total: return at once. Otherwise the total
    // (multiplier per byte plus constant) is the read's window, none when 0.
    const bool atOnce = state.readInterval == kForever && state.readMultiplier == 0 && state.readConstant == 0;
    const uint64_t total = static_cast<uint64_t>(state.readMultiplier) * capacity + state.readConstant;
    const uint32_t window = (atOnce || total != 0) ? static_cast<uint32_t>(total > 0xFFFFFFFEu ? 0xFFFFFFFEu : total)
                                                   : kForever;
    const uint64_t start = NowMs();
    for (;;) {
        // Bytes are taken only when the read completes, so a read whose own
        // wait expires leaves them in the queue for the next one.
        int waitingBytes = 0;
        if (ioctl(Fd(), FIONREAD, &waitingBytes) != 0) return Fail(Errno());
        const uint32_t waiting = static_cast<uint32_t>(waitingBytes);
        const int64_t windowLeft = Remaining(start, window);
        if (waiting >= capacity || windowLeft == 0) {
            const uint32_t want = waiting < capacity ? waiting : capacity;
            if (want == 0) return 0;
            const ssize_t n = read(Fd(), buffer, want);
            if (n < 0) return (errno == EAGAIN || errno == EINTR) ? 0u : Fail(Errno());
            done = static_cast<uint32_t>(n);
            return 0;
        }
        const int64_t ownLeft = Remaining(start, timeoutMs);
        if (ownLeft == 0) return Fail(kPortTimeout);
        int64_t nap = windowLeft < 0 ? ownLeft : (ownLeft < 0 ? windowLeft : std::min(windowLeft, ownLeft));
        if (nap < 0 || nap > 1000) nap = 1000;
        if (waiting > 0) {
            // Some bytes are there and more are awaited: poll would not sleep.
            usleep(static_cast<useconds_t>(std::min<int64_t>(nap, kShortNapMs)) * 1000u);
            continue;
        }
        pollfd p{Fd(), POLLIN, 0};
        const int ready = poll(&p, 1, static_cast<int>(nap));
        if (ready < 0 && errno != EINTR) return Fail(Errno());
        if (ready > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0 && (p.revents & POLLIN) == 0) {
            return Fail(EIO);  // the far end of the line is gone
        }
    }
}

uint32_t PosixSerialPort::SetRts(bool raised) {
    lastError = 0;
    if (device == 0) return Fail(kPortNotOpen);
    return Fail(ModemLines(TIOCM_RTS, raised));
}

uint32_t PosixSerialPort::GetInputQueueCount(uint32_t* count) {
    if (count != nullptr) *count = 0;
    lastError = 0;
    if (device == 0) return Fail(kPortNotOpen);
    int waiting = 0;
    if (ioctl(Fd(), FIONREAD, &waiting) != 0) return Fail(Errno());
    if (count != nullptr) *count = static_cast<uint32_t>(waiting);
    return 0;
}

std::unique_ptr<SerialPort> CreateSerialPort() { return std::make_unique<PosixSerialPort>(); }

}  // namespace kelvora
