// The state of an open terminal that a Win32 port would keep in its device
// and a terminal has no place for (event mask and character, DTR/RTS control
// modes, read time-outs), and the helpers the POSIX binding's files share.
// One state per open device, found by its descriptor (PosixSerialPort::State),
// so that port objects sharing a device also share it.
#pragma once

#include <cerrno>
#include <cstdint>

#include "serial/serial_port_posix.h"

namespace kelvora {

struct PosixSerialPort::CommState {
    uint32_t eventMask = 0;
    uint8_t eventCharacter = 0;
    uint8_t dtrControl = 0;  // 0 off, 1 on, 2 handshake
    uint8_t rtsControl = 0;
    bool dsrFlow = false;
    uint32_t readInterval = 0;  // COMMTIMEOUTS' three read values
    uint32_t readMultiplier = 0;
    uint32_t readConstant = 0;
};

// "No limit", as a read time-out value and as a wait.
constexpr uint32_t kForever = 0xFFFFFFFF;

// errno as a port error code; EIO when errno says nothing.
inline uint32_t Errno() { return errno != 0 ? static_cast<uint32_t>(errno) : static_cast<uint32_t>(EIO); }

}  // namespace kelvora
