// The POSIX binding of SerialPort: a terminal device opened by path (a USB
// adapter, /dev/ttyS*, a pseudo-terminal's slave) driven through termios,
// poll and ioctl, with the same codes, defaults, mode tables and bounded waits
// as the Win32 binding.
#pragma once

#include <string>

#include "serial/serial_port.h"

namespace kelvora {

class PosixSerialPort final : public SerialPort {
public:
    PosixSerialPort() = default;
    ~PosixSerialPort() override;

    uint32_t Open(const char* path, uint32_t inQueueSize, uint32_t outQueueSize) override;
    uint32_t Close() override;
    uint32_t SetLineSettings(uint32_t baudRate, uint8_t dataBits, uint8_t parity, uint8_t stopBits) override;
    uint32_t SetEventCharacter(uint8_t character, bool addToMask) override;
    uint32_t SetEventMask(uint32_t mask) override;
    uint32_t WaitForEvent(AsyncRequest* request, uint32_t timeoutMs) override;
    uint32_t SetHandshakeMode(int32_t mode) override;
    uint32_t SetReadTimeoutMode(int32_t mode) override;
    int32_t GetBaudRate() override;
    int32_t GetDataBits() override;
    int32_t GetParity() override;
    int32_t GetStopBits() override;
    int32_t GetHandshakeMode() override;
    uint32_t GetEventMask() override;
    uint8_t GetEventCharacter() override;
    uint32_t Write(const void* bytes, uint32_t length, uint32_t* written, AsyncRequest* request,
                   uint32_t timeoutMs) override;
    uint32_t Read(void* buffer, uint32_t capacity, uint32_t* count, AsyncRequest* request,
                  uint32_t timeoutMs) override;
    uint32_t SetRts(bool raised) override;
    uint32_t GetInputQueueCount(uint32_t* count) override;

    // The file a device path names: "\\.\COMn" is the environment variable
    // KELVORA_COMn when set, else /dev/ttyS(n-1); any other path is itself.
    static std::string ResolveDevicePath(const char* path);

    // Line rates the binding accepts; others are refused with EINVAL.
    static constexpr uint32_t kMinBaudRate = 50;
    static constexpr uint32_t kMaxBaudRate = 4000000;

    // What a terminal keeps no place for (event mask and character, DTR/RTS
    // control, read time-outs), one per open device.
    struct CommState;

private:
    CommState& State();
    int Fd() const { return static_cast<int>(device); }
    uint32_t Fail(uint32_t code) { return lastError = code; }
    uint32_t ModemLines(int bits, bool raise);
};

}  // namespace kelvora
