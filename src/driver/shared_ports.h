// The per-port state that all station objects of the library share: the event
// table the host-facing Open publishes into, and for each port the device now
// open on it, the stations that use it, and what a reopen needs once its line
// broke (the settings it was opened with, when it was last tried). A shared
// device is closed only by its last user, or when its line breaks.
#pragma once

#include <cstdint>

#include "serial/serial_port.h"

namespace kelvora {

constexpr int kSharedPortCount = 64;  // COM1 to COM64

// The I/O event of the device open on each port, 0 where none is.
extern PlatformHandle sharedEventTable[kSharedPortCount];

// The line settings a port's device was opened with, in the platform's codes.
struct LineSetup {
    uint32_t baudRate = 9600;
    uint8_t dataBits = 8;
    uint8_t parity = kParityNone;
    uint8_t stopBits = 0;
};

// One port and the stations on it.
struct SharedPortUse {
    PlatformHandle device = 0;     // the live device; 0 while the line is down
    PlatformHandle published = 0;  // what the opening wrote into the host's PortConfig
    uint32_t users = 0;            // stations the host opened on this port and has not closed
    LineSetup setup;
    // The line broke: the device is closed, and the next operation that
    // needs it reopens it, at most once every reopen spacing.
    bool down = false;
    uint32_t downSince = 0;        // tick count when it broke
    uint32_t tries = 0;            // reopens tried since
    bool tried = false;            // lastTry holds a reopen's time
    uint32_t lastTry = 0;
};

SharedPortUse& SharedPortAt(int portIndex);

// Forgets every port (tests start from a clean table).
void ResetSharedPorts();

}  // namespace kelvora
