// SerialPort: the one object through which the driver touches a serial
// device. One interface, two bindings (serial_port_win32.cpp on kernel32's
// overlapped I/O, serial_port_posix.cpp on termios and poll); test doubles
// stand in for it at this seam.
#pragma once

#include <cstdint>
#include <memory>

namespace kelvora {

// A platform handle: a Win32 HANDLE, or a POSIX file descriptor (always 3 or
// above, so that 0 can mean "none"). Held in 32 bits by the host's PortConfig.
using PlatformHandle = uintptr_t;

// A caller's asynchronous request record (OVERLAPPED on Windows). No caller in
// the driver passes one; the POSIX binding treats it as absent.
struct AsyncRequest;

// Error codes the port returns and keeps in lastError.
constexpr uint32_t kPortOk = 0;
constexpr uint32_t kPortNotOpen = 6;          // invalid handle
constexpr uint32_t kPortAlreadyOpen = 1247;   // already initialised
constexpr uint32_t kPortTimeout = 1460;       // our own wait expired
constexpr uint32_t kPortBadMode = 0x80070057; // invalid argument
constexpr uint32_t kWaitForever = 0xFFFFFFFF;

// Whether a transfer (Write, Read, WaitForEvent, the input-queue count) that
// returned this code says the line itself failed rather than a wait ran out:
// every failure but the time-out. A device unplugged or a hang-up gives EIO,
// ENXIO, ENODEV or EBADF on POSIX; a removed device gives ERROR_BAD_COMMAND,
// ERROR_ACCESS_DENIED, ERROR_DEVICE_REMOVED, ERROR_GEN_FAILURE or
// ERROR_OPERATION_ABORTED on Windows, and a pty gone under Wine
// ERROR_NOT_READY on a write and ERROR_BROKEN_PIPE on a read. A port that is
// not open (6) counts too: its owner knows whether it closed it.
constexpr bool IsLineFailure(uint32_t code) { return code != kPortOk && code != kPortTimeout; }

// Line events (EV_RXCHAR ... EV_RING).
constexpr uint32_t kEventRxChar = 0x0001;
constexpr uint32_t kEventRxFlag = 0x0002;
constexpr uint32_t kEventAll = 0x01FF;
constexpr uint32_t kNoEvent = 0xFFFFFFFF;

// Parity codes of SetLineSettings (the platform's own order).
constexpr uint8_t kParityNone = 0;
constexpr uint8_t kParityOdd = 1;
constexpr uint8_t kParityEven = 2;
constexpr uint8_t kParityMark = 3;
constexpr uint8_t kParitySpace = 4;

// SetHandshakeMode's modes.
constexpr int32_t kHandshakeNone = 0;      // DTR and RTS off, no flow control
constexpr int32_t kHandshakeHardware = 1;  // DTR/DSR and RTS/CTS flow control
constexpr int32_t kHandshakeOpen = 2;      // DTR and RTS on, no flow control: how the driver sets its line

class SerialPort {
public:
    SerialPort() = default;
    SerialPort(const SerialPort&) = delete;
    SerialPort& operator=(const SerialPort&) = delete;

    // Bindings close an open device in their destructors.
    virtual ~SerialPort() = default;

    virtual uint32_t Open(const char* path, uint32_t inQueueSize, uint32_t outQueueSize) = 0;
    virtual uint32_t Close() = 0;
    virtual uint32_t SetLineSettings(uint32_t baudRate, uint8_t dataBits, uint8_t parity, uint8_t stopBits) = 0;
    virtual uint32_t SetEventCharacter(uint8_t character, bool addToMask) = 0;
    virtual uint32_t SetEventMask(uint32_t mask) = 0;
    virtual uint32_t WaitForEvent(AsyncRequest* request, uint32_t timeoutMs) = 0;
    virtual uint32_t SetHandshakeMode(int32_t mode) = 0;
    virtual uint32_t SetReadTimeoutMode(int32_t mode) = 0;
    virtual int32_t GetBaudRate() = 0;
    virtual int32_t GetDataBits() = 0;
    virtual int32_t GetParity() = 0;
    virtual int32_t GetStopBits() = 0;
    virtual int32_t GetHandshakeMode() = 0;
    virtual uint32_t GetEventMask() = 0;
    virtual uint8_t GetEventCharacter() = 0;
    // Counts the bytes before the NUL and writes them with Write.
    virtual uint32_t WriteText(const char* text, uint32_t* written, AsyncRequest* request, uint32_t timeoutMs);
    virtual uint32_t Write(const void* bytes, uint32_t length, uint32_t* written, AsyncRequest* request,
                           uint32_t timeoutMs) = 0;
    virtual uint32_t Read(void* buffer, uint32_t capacity, uint32_t* count, AsyncRequest* request,
                          uint32_t timeoutMs) = 0;

    // The two line operations of the exchanges: RTS up or down, and the number
    // of received bytes waiting in the input queue.
    virtual uint32_t SetRts(bool raised) = 0;
    virtual uint32_t GetInputQueueCount(uint32_t* count) = 0;

    // Returns lastEvent and sets it back to kNoEvent.
    uint32_t TakeLastEvent() {
        const uint32_t event = lastEvent;
        lastEvent = kNoEvent;
        return event;
    }

    bool IsOpen() const { return device != 0; }

    uint32_t lastError = 0;
    PlatformHandle device = 0;     // 0 while closed
    uint32_t lastEvent = kNoEvent;
    PlatformHandle ioEvent = 0;    // 0 while closed
};

// The platform's binding.
std::unique_ptr<SerialPort> CreateSerialPort();

}  // namespace kelvora
