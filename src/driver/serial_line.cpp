// SerialLine (see the header).
#include "driver/serial_line.h"

namespace kelvora {

const Trace& SerialLine::TraceOrOff() const {
    static const Trace kOff;
    return trace != nullptr ? *trace : kOff;
}

void SerialLine::BusyWait(uint32_t milliseconds) const {
    const uint32_t t0 = clock->TickCount();
    while (static_cast<uint32_t>(clock->TickCount() - t0) < milliseconds) {
    }
}

uint32_t EffectiveTimeoutMs(int32_t timeoutMs) {
    const uint32_t t = static_cast<uint32_t>(timeoutMs);
    return t > kMaxTimeoutMs ? kMaxTimeoutMs : t;
}

}  // namespace kelvora
