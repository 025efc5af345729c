// LineKeeper: keeps a station's port object on the live device of the serial
// port the host opened it on, so that a line that goes away (a USB modem
// unplugged or re-enumerated, a modem power-cycled, a converter that hangs
// up) comes back without the host. A transfer that fails for another reason
// than a time-out breaks the line: the device is closed at once (so that a
// device plugged in again can take its name), and the next operation that
// needs the line reopens the same device with the same settings, at most
// once every kReopenSpacingMs on the clock seam; meanwhile every exchange
// fails at once. Every station on the port goes on with the device that is
// live now, whichever of them reopened it. A station the host did not open
// through the driver, or has closed, is not kept: its port is taken as it is.
#pragma once

#include <cstdint>

#include "driver/serial_line.h"
#include "driver/shared_ports.h"

namespace kelvora {

// The least time between two reopens of one port.
constexpr uint32_t kReopenSpacingMs = 5000;

class LineKeeper {
public:
    // The station now uses the port (the host opened it there), or no longer.
    void Bind(int portIndex) { portIndex_ = portIndex; }
    void Unbind() { portIndex_ = -1; }
    bool Bound() const { return portIndex_ >= 0; }
    int PortIndex() const { return portIndex_; }

    // Before an exchange: reopens a broken line when its time has come, and
    // puts the port's live device into the line's port object. false when the
    // line is down: the exchange fails at once, without touching the port.
    bool Ready(const SerialLine& line);
    // After a transfer (what: "a write", "a read", ...) failed with code.
    void Failed(const SerialLine& line, uint32_t code, const char* what);
    // The port's live device (none while the line is down) into the port object.
    void Follow(SerialPort& port) const;
    // The line is down and no reopen is due at now.
    bool WaitingForReopen(uint32_t now) const;

private:
    void Reopen(const SerialLine& line, SharedPortUse& use);

    int portIndex_ = -1;
};

}  // namespace kelvora
