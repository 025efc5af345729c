// A clock for tests: time stands still until Sleep advances it, and every
// tick-count read can advance it too, so busy waits end without real time.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "platform/clock.h"

namespace kelvora::testing {

class FakeClock : public Clock {
public:
    explicit FakeClock(uint32_t start = 100000) : now_(start) {}

    uint32_t TickCount() override {
        const uint32_t t = now_;
        now_ += tickStep;  // unsigned: wraps like the real tick count
        return t;
    }
    void Sleep(uint32_t milliseconds) override {
        sleeps.push_back(milliseconds);
        now_ += milliseconds;
        if (onSleep) onSleep(milliseconds);
    }

    uint32_t Now() const { return now_; }
    void Set(uint32_t now) { now_ = now; }
    void Advance(uint32_t milliseconds) { now_ += milliseconds; }

    // Sum of the sleeps of the given length (for example the 1000 ms pauses).
    uint32_t CountSleeps(uint32_t milliseconds) const {
        uint32_t n = 0;
        for (uint32_t s : sleeps) n += (s == milliseconds) ? 1u : 0u;
        return n;
    }

    uint32_t tickStep = 0;  // how far each TickCount call moves the clock
    std::vector<uint32_t> sleeps;
    std::function<void(uint32_t)> onSleep;

private:
    uint32_t now_;
};

}  // namespace kelvora::testing
