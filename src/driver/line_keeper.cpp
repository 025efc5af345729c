// LineKeeper (see the header). The trace tells when the line broke, each
// reopen tried, and when it came back, each event led by its LineEvent's name.
#include "driver/line_keeper.h"

#include <string>

#include "driver/outcome_table.h"
#include "driver/port_device.h"

namespace kelvora {

namespace {

bool ReopenDue(const SharedPortUse& use, uint32_t now) {
    return !use.tried || static_cast<uint32_t>(now - use.lastTry) >= kReopenSpacingMs;
}

}  // namespace

void LineKeeper::Follow(SerialPort& port) const {
    if (portIndex_ < 0) return;
    const SharedPortUse& use = SharedPortAt(portIndex_);
    port.device = use.device;
    port.ioEvent = use.device != 0 ? sharedEventTable[portIndex_] : 0;
}

bool LineKeeper::WaitingForReopen(uint32_t now) const {
    if (portIndex_ < 0) return false;
    const SharedPortUse& use = SharedPortAt(portIndex_);
    return use.down && !ReopenDue(use, now);
}

bool LineKeeper::Ready(const SerialLine& line) {
    if (line.port == nullptr) return false;
    if (portIndex_ < 0) return line.port->IsOpen();
    SharedPortUse& use = SharedPortAt(portIndex_);
    if (use.down && ReopenDue(use, line.clock->TickCount())) Reopen(line, use);
    Follow(*line.port);
    return line.port->IsOpen();
}

void LineKeeper::Reopen(const SerialLine& line, SharedPortUse& use) {
    SerialPort& port = *line.port;
    const uint32_t now = line.clock->TickCount();
    use.tried = true;
    use.lastTry = now;
    ++use.tries;
    // What the port object held was closed when the line broke.
    port.device = 0;
    port.ioEvent = 0;
    const uint32_t error = OpenPortDevice(port, portIndex_, use.setup, nullptr);
    const Trace& trace = line.TraceOrOff();
    const std::string down = std::to_string(static_cast<uint32_t>(now - use.downSince)) + " ms";
    if (error != 0) {
        if (trace.on()) {
            trace.Emit(OutcomeEvent(LineEvent::kReopenFailed,
                                    "line reopen failed: the device does not open (error " + std::to_string(error) +
                                        "); down for " + down + ", " + std::to_string(use.tries) +
                                        " tries; next try in " + std::to_string(kReopenSpacingMs) +
                                        " ms at the earliest"));
        }
        return;
    }
    use.device = port.device;
    sharedEventTable[portIndex_] = port.ioEvent;
    use.down = false;
    if (trace.on()) {
        trace.Emit(OutcomeEvent(LineEvent::kBack, "line back: reopened with its settings after " + down + " down (" +
                                                      std::to_string(use.tries) + (use.tries == 1 ? " try)" : " tries)")));
    }
}

void LineKeeper::Failed(const SerialLine& line, uint32_t code, const char* what) {
    if (portIndex_ < 0 || line.port == nullptr || !IsLineFailure(code)) return;
    SharedPortUse& use = SharedPortAt(portIndex_);
    SerialPort& port = *line.port;
    // Only the live device breaks the line; a port object that no longer
    // holds it has nothing to close.
    if (use.down || !port.IsOpen() || port.device != use.device) return;
    port.Close();
    use.device = 0;
    sharedEventTable[portIndex_] = 0;
    use.down = true;
    use.downSince = line.clock->TickCount();
    use.tries = 0;
    const Trace& trace = line.TraceOrOff();
    if (trace.on()) {
        trace.Emit(OutcomeEvent(LineEvent::kBroken,
                                std::string("line broken: ") + what + " failed with error " + std::to_string(code) +
                                    "; the device is closed, and reopened at the next operation that needs it, at "
                                    "most every " + std::to_string(kReopenSpacingMs) + " ms"));
    }
}

}  // namespace kelvora
