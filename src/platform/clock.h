// The millisecond clock seam: the platform's tick count and sleep. Stations
// and exchanges take a Clock so that tests can replace it with a fake that
// advances on Sleep instead of waiting.
#pragma once

#include <cstdint>

namespace kelvora {

class Clock {
public:
    virtual ~Clock() = default;
    // Milliseconds since an arbitrary start; wraps around after 2^32 ms.
    virtual uint32_t TickCount() = 0;
    virtual void Sleep(uint32_t milliseconds) = 0;
};

// The platform's clock (GetTickCount/Sleep, or CLOCK_MONOTONIC/nanosleep).
Clock& SystemClock();

}  // namespace kelvora
