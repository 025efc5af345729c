// Opening a port's device and setting it up for the exchanges, in one place:
// what the host's Open does on a port nobody has open, and what a reopen does
// once the line broke.
#pragma once

#include <cstdint>

#include "driver/shared_ports.h"
#include "serial/serial_port.h"

namespace kelvora {

// Opens "\\.\COM<portIndex + 1>" on the port object, then applies the line
// settings, the event mask (a received character), DTR and RTS on without
// flow control, and reads that return after 30 ms. Returns the port's Open
// result (0: the device is open); settingsResult gets what the line settings
// left (the device stays open when they were refused).
uint32_t OpenPortDevice(SerialPort& port, int portIndex, const LineSetup& setup, uint32_t* settingsResult);

// What Close sets the event mask to before the device goes.
constexpr uint32_t kEventMaskClose = 0xFFFFFFFF;

}  // namespace kelvora
