// The per-port state that all station objects of the library share: the event
// table the host-facing Open publishes into, the device now open on each port
// and how many station objects use it. A shared device is closed only by its
// last user.
#pragma once

#include <cstdint>

#include "serial/serial_port.h"

namespace kelvora {

constexpr int kSharedPortCount = 64;  // COM1 to COM64

// The I/O event of the device open on each port, 0 where none is.
extern PlatformHandle sharedEventTable[kSharedPortCount];

// The live device on one port and its number of users.
struct SharedPortUse {
    PlatformHandle device = 0;
    uint32_t users = 0;
};

SharedPortUse& SharedPortAt(int portIndex);

// The port number whose live device is this handle, or -1.
int FindSharedPort(PlatformHandle device);

// Forgets every port (tests start from a clean table).
void ResetSharedPorts();

}  // namespace kelvora
