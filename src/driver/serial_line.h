// SerialLine: what an exchange on the serial line works on, and nothing
// more: the port, the clock, the line type (1 and 2 steer a half-duplex line
// driver with RTS), the reply time-out and the dialogue trace. DriverBase
// hands one out for its own port; a tool that talks to a modem without a
// station makes its own.
#pragma once

#include <cstdint>

#include "platform/clock.h"
#include "platform/trace.h"
#include "serial/serial_port.h"

namespace kelvora {

constexpr uint32_t kMaxTimeoutMs = 60000;  // longest wait any exchange honours

struct SerialLine {
    SerialPort* port = nullptr;  // null: no port, every write fails
    Clock* clock = &SystemClock();
    int32_t lineType = 0;
    uint32_t timeoutMs = 0;       // the reply time-out, at most kMaxTimeoutMs
    const Trace* trace = nullptr;  // null: no trace

    // The trace, off when there is none.
    const Trace& TraceOrOff() const;
    // Spins on the tick count for the given milliseconds, without sleeping.
    void BusyWait(uint32_t milliseconds) const;
};

// A host's time-out as an exchange takes it: unsigned, at most kMaxTimeoutMs.
uint32_t EffectiveTimeoutMs(int32_t timeoutMs);

}  // namespace kelvora
