// ScriptedPort: a SerialPort test double. Bytes the driver writes are logged
// and handed to a responder; bytes "arrive" from the far end, each chunk at a
// given time on the test's clock, and are read as a real port would deliver
// them (up to the capacity, only what has arrived). Failures can be injected.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "serial/serial_port.h"
#include "support/fake_clock.h"

namespace kelvora::testing {

class ScriptedPort : public SerialPort {
public:
    explicit ScriptedPort(FakeClock* clock = nullptr) : clock_(clock) {}

    // The far end sends bytes, available delayMs after now.
    void Arrive(const std::string& bytes, uint32_t delayMs = 0);
    // Called with each written chunk; may call Arrive to answer.
    std::function<void(ScriptedPort&, const std::string&)> onWrite;

    // Everything written, in order, and the log of calls ("Open(path)",
    // "SetRts(1)@tick", "SetLineSettings(9600,8,0,0)", ...).
    std::string written;
    std::vector<std::string> calls;
    uint32_t readCalls = 0;
    uint32_t queueCountCalls = 0;
    // The time-out each Write and Read was given, in order.
    std::vector<uint32_t> writeTimeouts;
    std::vector<uint32_t> readTimeouts;

    // Injected results (0 = success).
    uint32_t openResult = 0;
    uint32_t lineSettingsResult = 0;
    uint32_t writeResult = 0;
    uint32_t readResult = 0;
    uint32_t waitResult = 0;
    uint32_t queueCountResult = 0;
    uint32_t eventBits = kEventRxChar;  // what WaitForEvent reports
    // How many reads succeed before readResult applies (~0u: never fails).
    uint32_t readsBeforeFailure = ~0u;
    // Time an empty read takes (a real mode-2 read waits up to 30 ms).
    uint32_t emptyReadMs = 0;

    // State a real device would keep.
    uint32_t baudRate = 9600;
    uint8_t dataBits = 8, parity = 0, stopBits = 0;
    uint32_t eventMask = 0;
    uint8_t eventCharacter = 0;
    int32_t handshakeMode = 0, readTimeoutMode = 0;
    bool rts = false;

    size_t Pending() const;  // bytes already arrived and not yet read

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
    struct Chunk {
        uint32_t at;
        std::string bytes;
    };
    uint32_t Now() const { return clock_ ? clock_->Now() : 0; }
    bool Due(const Chunk& chunk) const;
    uint32_t Fail(uint32_t code) { return lastError = code; }

    FakeClock* clock_;
    std::deque<Chunk> incoming_;
    static PlatformHandle nextHandle_;
};

}  // namespace kelvora::testing
