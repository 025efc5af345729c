// SerialLine: what an exchange on the serial line works on, and nothing
// more: the port, the clock, the line type (1 and 2 steer a half-duplex line
// driver with RTS), the reply time-out, the dialogue trace and, for a
// station's line, what keeps it open. DriverBase hands one out for its own
// port; a tool that talks to a modem without a station makes its own.
#pragma once

#include <cstdint>

#include "platform/clock.h"
#include "platform/trace.h"
#include "serial/serial_port.h"

namespace kelvora {

class LineKeeper;

constexpr uint32_t kMaxTimeoutMs = 60000;  // longest wait any exchange honours

struct SerialLine {
    SerialPort* port = nullptr;  // null: no port, every write fails
    Clock* clock = &SystemClock();
    int32_t lineType = 0;
    uint32_t timeoutMs = 0;       // the reply time-out, at most kMaxTimeoutMs
    const Trace* trace = nullptr;  // null: no trace
    // A station's keeper of the line (null: the port is taken as it is): it
    // follows the port's live device, reopens a broken line, and hears of
    // every transfer that failed.
    LineKeeper* keeper = nullptr;

    // The trace, off when there is none.
    const Trace& TraceOrOff() const;
    // Spins on the tick count for the given milliseconds, without sleeping.
    void BusyWait(uint32_t milliseconds) const;
};

// A host's time-out as an exchange takes it: unsigned, at most kMaxTimeoutMs.
uint32_t EffectiveTimeoutMs(int32_t timeoutMs);

}  // namespace kelvora
