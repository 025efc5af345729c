// A modem played from fuzz input behind the scripted port: what it sends
// before the first command and in answer to each command the driver writes,
// in pieces with pauses on the fake clock; and a record of what the driver
// wrote and read, and when.
//
// Script bytes: 0x00 ends the answer being described (the first is what waits
// before any command, the next answers the first command written, and so on);
// 0x01 d pauses d * 10 ms before the next piece; 0x02 b puts so much noise
// before the piece so far that the piece begins b bytes before the end of
// the longest response the driver takes (a modem that babbles past that
// bound; once a script, later ones are ignored); 0x03 c stands for the byte c
// itself; any other byte is sent as it is.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "support/fake_clock.h"
#include "support/scripted_port.h"

namespace kelvora::fuzz {

struct ScriptPiece {
    std::string bytes;
    uint32_t delayMs;    // after the command it answers (or after the start)
    size_t noise = 0;    // babble sent before the bytes
};
using ScriptAnswer = std::vector<ScriptPiece>;

std::vector<ScriptAnswer> ParseScript(const uint8_t* data, size_t size);

struct WrittenCommand {
    std::string bytes;
    uint32_t tick;           // when it was written
    size_t receivedBefore;   // bytes the driver had read by then
    uint32_t readsBefore;    // reads that brought bytes by then
};

class ScriptedModem final : public testing::ScriptedPort {
public:
    // Opens the port and lets the first answer arrive.
    ScriptedModem(testing::FakeClock& clock, std::vector<ScriptAnswer> answers);

    uint32_t Read(void* buffer, uint32_t capacity, uint32_t* count, AsyncRequest* request,
                  uint32_t timeoutMs) override;

    std::vector<WrittenCommand> commands;
    std::string& received;         // everything the driver read, in order
    uint32_t readsWithBytes = 0;
    uint32_t lastArrival = 0;      // the tick of the last byte the modem sends

private:
    void Schedule(const ScriptAnswer& answer);

    testing::FakeClock& clock_;
    std::vector<ScriptAnswer> answers_;
};

}  // namespace kelvora::fuzz
