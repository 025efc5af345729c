// The system clock on Windows: GetTickCount and Sleep.
#include "platform/clock.h"

#include <windows.h>

namespace kelvora {
namespace {

class Win32Clock final : public Clock {
public:
    uint32_t TickCount() override { return static_cast<uint32_t>(::GetTickCount()); }
    void Sleep(uint32_t milliseconds) override { ::Sleep(milliseconds); }
};

}  // namespace

Clock& SystemClock() {
    static Win32Clock clock;
    return clock;
}

}  // namespace kelvora
