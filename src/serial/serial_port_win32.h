// The Win32 binding of SerialPort: a COM device opened for overlapped I/O,
// one manual-reset event per open port, every wait bounded, and a request
// that outlives its wait cancelled and seen to its end before the call
// returns. The kernel32 calls go through a CommApi (the real one by default).
#pragma once

#include "serial/comm_api_win32.h"
#include "serial/serial_port.h"

namespace kelvora {

class Win32SerialPort final : public SerialPort {
public:
    explicit Win32SerialPort(CommApi& api = SystemCommApi()) : api_(api) {}
    ~Win32SerialPort() override;

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

private:
    HANDLE Device() const { return reinterpret_cast<HANDLE>(device); }
    HANDLE Event() const { return reinterpret_cast<HANDLE>(ioEvent); }
    uint32_t Fail(uint32_t code) { return lastError = code; }
    uint32_t LastPlatformError() { return static_cast<uint32_t>(api_.GetLastError()); }
    // Reads the device settings; false (with lastError) when it cannot.
    bool ReadState(DCB* dcb);
    uint32_t Transfer(bool write, void* data, uint32_t length, uint32_t* count, AsyncRequest* request,
                      uint32_t timeoutMs);
    // After our own wait ended without completion: cancel, then wait for the
    // request to end so that the platform no longer holds its record.
    // true when it completed after all, with its count.
    bool CancelAndSettle(OVERLAPPED* overlapped, DWORD* transferred);

    CommApi& api_;
};

}  // namespace kelvora
