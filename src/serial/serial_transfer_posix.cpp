// The POSIX binding's transfers: Write, Read and WaitForEvent with their
// bounded waits on poll, and the count of bytes waiting in the input queue.
// Read follows the device's read time-out mode as a Win32 port does.
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>

#include "serial/comm_state_posix.h"
#include "serial/serial_port_posix.h"

namespace kelvora {

namespace {

constexpr int kShortNapMs = 2;  // re-check period while bytes trickle in

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

// One poll waits at most a second (the loops look at the time left again), so
// no time-out, however long, overflows poll's int.
int PollSlice(int64_t left) { return left < 0 || left > 1000 ? 1000 : static_cast<int>(left); }

}  // namespace

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
        const int ready = poll(&p, 1, PollSlice(left));
        if (ready < 0 && errno != EINTR) return Fail(Errno());
        if (ready > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0 && (p.revents & POLLIN) == 0) {
            return Fail(EIO);  // the far end of the line is gone
        }
    }
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
        if (poll(&p, 1, PollSlice(left)) < 0 && errno != EINTR) return Fail(Errno());
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

uint32_t PosixSerialPort::GetInputQueueCount(uint32_t* count) {
    if (count != nullptr) *count = 0;
    lastError = 0;
    if (device == 0) return Fail(kPortNotOpen);
    int waiting = 0;
    if (ioctl(Fd(), FIONREAD, &waiting) != 0) return Fail(Errno());
    if (count != nullptr) *count = static_cast<uint32_t>(waiting);
    return 0;
}

}  // namespace kelvora
