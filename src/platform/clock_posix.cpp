// The system clock on POSIX: CLOCK_MONOTONIC in milliseconds, nanosleep.
#include "platform/clock.h"

#include <cerrno>
#include <ctime>

namespace kelvora {
namespace {

class PosixClock final : public Clock {
public:
    uint32_t TickCount() override {
        timespec now{};
        clock_gettime(CLOCK_MONOTONIC, &now);
        // Truncation to 32 bits is the tick count's wrap-around.
        const uint64_t ms = static_cast<uint64_t>(now.tv_sec) * 1000u +
                            static_cast<uint64_t>(now.tv_nsec) / 1000000u;
        return static_cast<uint32_t>(ms);
    }

    void Sleep(uint32_t milliseconds) override {
        timespec request{static_cast<time_t>(milliseconds / 1000u),
                         static_cast<long>(milliseconds % 1000u) * 1000000L};
        while (nanosleep(&request, &request) != 0 && errno == EINTR) {
        }
    }
};

}  // namespace

Clock& SystemClock() {
    static PosixClock clock;
    return clock;
}

}  // namespace kelvora
