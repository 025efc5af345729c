// The POSIX binding's settings: line settings, event mask and character,
// handshake and read time-out modes, their getters, and RTS. termios holds
// what it can; the rest lives in the device's CommState.
#include <sys/ioctl.h>
#include <termios.h>

#include <cerrno>

#include "serial/comm_state_posix.h"
#include "serial/serial_port_posix.h"
#include "serial/tty_settings_posix.h"

namespace kelvora {

namespace {

// A pseudo-terminal has no modem lines: that is not an error of the port.
bool NoModemLines(int error) { return error == ENOTTY || error == EINVAL; }

}  // namespace

uint32_t PosixSerialPort::SetLineSettings(uint32_t baudRate, uint8_t dataBits, uint8_t parity, uint8_t stopBits) {
    lastError = 0;
    if (device == 0) return Fail(kPortNotOpen);
    TtySettings t;
    if (const int error = ReadTtySettings(Fd(), &t)) return Fail(static_cast<uint32_t>(error));
    // What a terminal cannot take is refused before anything changes.
    if (baudRate < kMinBaudRate || baudRate > kMaxBaudRate || dataBits < 5 || dataBits > 8 ||
        parity > kParitySpace || (stopBits != 0 && stopBits != 2)) {
        return Fail(EINVAL);
    }
    static const uint32_t kSizes[] = {CS5, CS6, CS7, CS8};
    t.ospeed = baudRate;
    t.cflag = (t.cflag & ~static_cast<uint32_t>(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB)) | kSizes[dataBits - 5];
    switch (parity) {
        case kParityOdd: t.cflag |= PARENB | PARODD; break;
        case kParityEven: t.cflag |= PARENB; break;
        case kParityMark: t.cflag |= PARENB | CMSPAR | PARODD; break;
        case kParitySpace: t.cflag |= PARENB | CMSPAR; break;
        default: break;
    }
    if (parity != kParityNone) {
        t.iflag |= INPCK;
    } else {
        t.iflag &= ~static_cast<uint32_t>(INPCK);
    }
    if (stopBits == 2) t.cflag |= CSTOPB;
    if (const int error = WriteTtySettings(Fd(), t)) return Fail(static_cast<uint32_t>(error));
    return 0;
}

uint32_t PosixSerialPort::SetEventCharacter(uint8_t character, bool addToMask) {
    lastError = 0;
    if (device == 0) return Fail(kPortNotOpen);
    TtySettings t;
    if (const int error = ReadTtySettings(Fd(), &t)) return Fail(static_cast<uint32_t>(error));
    State().eventCharacter = character;
    if (addToMask) {
        const uint32_t mask = GetEventMask();
        SetEventMask(mask | kEventRxFlag);
    }
    return lastError;
}

uint32_t PosixSerialPort::SetEventMask(uint32_t mask) {
    lastError = 0;
    if (device == 0) return Fail(kPortNotOpen);
    TtySettings t;
    if (const int error = ReadTtySettings(Fd(), &t)) return Fail(static_cast<uint32_t>(error));
    State().eventMask = mask;
    return 0;
}

uint32_t PosixSerialPort::ModemLines(int bits, bool raise) {
    if (ioctl(Fd(), raise ? TIOCMBIS : TIOCMBIC, &bits) != 0 && !NoModemLines(errno)) return Errno();
    return 0;
}

uint32_t PosixSerialPort::SetHandshakeMode(int32_t mode) {
    lastError = 0;
    if (device == 0) return Fail(kPortNotOpen);
    if (mode < 0 || mode > 2) return Fail(kPortBadMode);
    TtySettings t;
    if (const int error = ReadTtySettings(Fd(), &t)) return Fail(static_cast<uint32_t>(error));
    // DTR control, RTS control, CTS and DSR output flow, XON/XOFF out and in.
    static const uint8_t kModes[3][6] = {{0, 0, 0, 0, 0, 0}, {2, 2, 1, 1, 0, 0}, {1, 1, 0, 0, 0, 0}};
    const uint8_t* m = kModes[mode];
    t.cflag = m[2] != 0 ? (t.cflag | CRTSCTS) : (t.cflag & ~static_cast<uint32_t>(CRTSCTS));
    t.iflag = m[4] != 0 ? (t.iflag | IXON) : (t.iflag & ~static_cast<uint32_t>(IXON));
    t.iflag = m[5] != 0 ? (t.iflag | IXOFF) : (t.iflag & ~static_cast<uint32_t>(IXOFF));
    if (const int error = WriteTtySettings(Fd(), t)) return Fail(static_cast<uint32_t>(error));
    CommState& state = State();
    state.dtrControl = m[0];
    state.rtsControl = m[1];
    state.dsrFlow = m[3] != 0;
    if (const uint32_t error = ModemLines(TIOCM_DTR, m[0] != 0)) return Fail(error);
    if (const uint32_t error = ModemLines(TIOCM_RTS, m[1] != 0)) return Fail(error);
    return 0;
}

uint32_t PosixSerialPort::SetReadTimeoutMode(int32_t mode) {
    lastError = 0;
    if (device == 0) return Fail(kPortNotOpen);
    if (mode < 0 || mode > 2) return Fail(kPortBadMode);
    TtySettings t;
    if (const int error = ReadTtySettings(Fd(), &t)) return Fail(static_cast<uint32_t>(error));
    static const uint32_t kModes[3][2] = {{kForever, 0}, {0, 0}, {kForever, 30}};
    CommState& state = State();
    state.readInterval = kModes[mode][0];
    state.readMultiplier = 0;
    state.readConstant = kModes[mode][1];
    return 0;
}

int32_t PosixSerialPort::GetBaudRate() {
    lastError = 0;
    if (device == 0) return Fail(kPortNotOpen), -1;
    TtySettings t;
    if (const int error = ReadTtySettings(Fd(), &t)) return Fail(static_cast<uint32_t>(error)), -1;
    return static_cast<int32_t>(t.ospeed);
}

int32_t PosixSerialPort::GetDataBits() {
    lastError = 0;
    if (device == 0) return Fail(kPortNotOpen), -1;
    TtySettings t;
    if (const int error = ReadTtySettings(Fd(), &t)) return Fail(static_cast<uint32_t>(error)), -1;
    switch (t.cflag & CSIZE) {
        case CS5: return 5;
        case CS6: return 6;
        case CS7: return 7;
        default: return 8;
    }
}

int32_t PosixSerialPort::GetParity() {
    lastError = 0;
    if (device == 0) return Fail(kPortNotOpen), -1;
    TtySettings t;
    if (const int error = ReadTtySettings(Fd(), &t)) return Fail(static_cast<uint32_t>(error)), -1;
    if ((t.iflag & INPCK) == 0 || (t.cflag & PARENB) == 0) return kParityNone;
    if ((t.cflag & CMSPAR) != 0) return (t.cflag & PARODD) != 0 ? kParityMark : kParitySpace;
    return (t.cflag & PARODD) != 0 ? kParityOdd : kParityEven;
}

int32_t PosixSerialPort::GetStopBits() {
    lastError = 0;
    if (device == 0) return Fail(kPortNotOpen), -1;
    TtySettings t;
    if (const int error = ReadTtySettings(Fd(), &t)) return Fail(static_cast<uint32_t>(error)), -1;
    return (t.cflag & CSTOPB) != 0 ? 2 : 0;
}

int32_t PosixSerialPort::GetHandshakeMode() {
    lastError = 0;
    if (device == 0) return Fail(kPortNotOpen), -1;
    TtySettings t;
    if (const int error = ReadTtySettings(Fd(), &t)) return Fail(static_cast<uint32_t>(error)), -1;
    const CommState& state = State();
    if (state.dtrControl == 2 && state.rtsControl == 2) return 1;
    if ((t.iflag & IXON) != 0 && (t.iflag & IXOFF) != 0) return 2;
    return 0;
}

uint32_t PosixSerialPort::GetEventMask() {
    lastError = 0;
    if (device == 0) return Fail(kPortNotOpen), 0;
    TtySettings t;
    if (const int error = ReadTtySettings(Fd(), &t)) return Fail(static_cast<uint32_t>(error)), 0;
    return State().eventMask;
}

uint8_t PosixSerialPort::GetEventCharacter() {
    lastError = 0;
    if (device == 0) return Fail(kPortNotOpen), 0;
    TtySettings t;
    if (const int error = ReadTtySettings(Fd(), &t)) return Fail(static_cast<uint32_t>(error)), 0;
    return State().eventCharacter;
}

uint32_t PosixSerialPort::SetRts(bool raised) {
    lastError = 0;
    if (device == 0) return Fail(kPortNotOpen);
    return Fail(ModemLines(TIOCM_RTS, raised));
}

}  // namespace kelvora
