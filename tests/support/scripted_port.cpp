// ScriptedPort: the SerialPort test double (see the header).
#include "support/scripted_port.h"

#include <algorithm>
#include <cstring>

namespace kelvora::testing {

PlatformHandle ScriptedPort::nextHandle_ = 0x100;

void ScriptedPort::Arrive(const std::string& bytes, uint32_t delayMs) {
    if (bytes.empty()) return;
    incoming_.push_back(Chunk{Now() + delayMs, bytes});
}

bool ScriptedPort::Due(const Chunk& chunk) const {
    // Unsigned difference: a chunk is due once its time has come.
    return static_cast<int32_t>(Now() - chunk.at) >= 0;
}

size_t ScriptedPort::Pending() const {
    size_t n = 0;
    for (const Chunk& chunk : incoming_) {
        if (!Due(chunk)) break;
        n += chunk.bytes.size();
    }
    return n;
}

uint32_t ScriptedPort::Open(const char* path, uint32_t inQueueSize, uint32_t outQueueSize) {
    calls.push_back(std::string("Open(") + (path ? path : "") + "," + std::to_string(inQueueSize) + "," +
                    std::to_string(outQueueSize) + ")");
    lastError = 0;
    if (IsOpen()) return Fail(kPortAlreadyOpen);
    if (openResult != 0) return Fail(openResult);
    device = nextHandle_++;
    ioEvent = nextHandle_++;
    return 0;
}

uint32_t ScriptedPort::Close() {
    calls.push_back("Close");
    lastError = 0;
    incoming_.clear();  // what a closed device had received is gone with it
    device = 0;
    ioEvent = 0;
    return 0;
}

uint32_t ScriptedPort::SetLineSettings(uint32_t baud, uint8_t bits, uint8_t par, uint8_t stop) {
    calls.push_back("SetLineSettings(" + std::to_string(baud) + "," + std::to_string(bits) + "," +
                    std::to_string(par) + "," + std::to_string(stop) + ")");
    lastError = 0;
    if (!IsOpen()) return Fail(kPortNotOpen);
    if (lineSettingsResult != 0) return Fail(lineSettingsResult);
    baudRate = baud;
    dataBits = bits;
    parity = par;
    stopBits = stop;
    return 0;
}

uint32_t ScriptedPort::SetEventCharacter(uint8_t character, bool addToMask) {
    lastError = 0;
    if (!IsOpen()) return Fail(kPortNotOpen);
    eventCharacter = character;
    if (addToMask) eventMask |= kEventRxFlag;
    return 0;
}

uint32_t ScriptedPort::SetEventMask(uint32_t mask) {
    calls.push_back("SetEventMask(" + std::to_string(mask) + ")");
    lastError = 0;
    if (!IsOpen()) return Fail(kPortNotOpen);
    eventMask = mask;
    return 0;
}

uint32_t ScriptedPort::WaitForEvent(AsyncRequest*, uint32_t timeoutMs) {
    calls.push_back("WaitForEvent(" + std::to_string(timeoutMs) + ")");
    lastError = 0;
    if (!IsOpen()) return Fail(kPortNotOpen);
    if (waitResult != 0) return Fail(waitResult);
    lastEvent = eventBits;
    return 0;
}

uint32_t ScriptedPort::SetHandshakeMode(int32_t mode) {
    calls.push_back("SetHandshakeMode(" + std::to_string(mode) + ")");
    lastError = 0;
    if (!IsOpen()) return Fail(kPortNotOpen);
    if (mode < 0 || mode > 2) return Fail(kPortBadMode);
    handshakeMode = mode;
    return 0;
}

uint32_t ScriptedPort::SetReadTimeoutMode(int32_t mode) {
    calls.push_back("SetReadTimeoutMode(" + std::to_string(mode) + ")");
    lastError = 0;
    if (!IsOpen()) return Fail(kPortNotOpen);
    if (mode < 0 || mode > 2) return Fail(kPortBadMode);
    readTimeoutMode = mode;
    return 0;
}

int32_t ScriptedPort::GetBaudRate() { return IsOpen() ? static_cast<int32_t>(baudRate) : (Fail(6), -1); }
int32_t ScriptedPort::GetDataBits() { return IsOpen() ? dataBits : (Fail(6), -1); }
int32_t ScriptedPort::GetParity() { return IsOpen() ? parity : (Fail(6), -1); }
int32_t ScriptedPort::GetStopBits() { return IsOpen() ? stopBits : (Fail(6), -1); }
int32_t ScriptedPort::GetHandshakeMode() { return IsOpen() ? (handshakeMode == 1 ? 1 : 0) : (Fail(6), -1); }
uint32_t ScriptedPort::GetEventMask() { return IsOpen() ? eventMask : (Fail(6), 0u); }
uint8_t ScriptedPort::GetEventCharacter() { return IsOpen() ? eventCharacter : (Fail(6), uint8_t{0}); }

uint32_t ScriptedPort::Write(const void* bytes, uint32_t length, uint32_t* count, AsyncRequest*, uint32_t timeoutMs) {
    writeTimeouts.push_back(timeoutMs);
    if (count) *count = 0;
    lastError = 0;
    if (!IsOpen()) return Fail(kPortNotOpen);
    if (writeResult != 0) return Fail(writeResult);
    const std::string chunk(static_cast<const char*>(bytes), length);
    written += chunk;
    if (count) *count = length;
    if (onWrite) onWrite(*this, chunk);
    return 0;
}

uint32_t ScriptedPort::Read(void* buffer, uint32_t capacity, uint32_t* count, AsyncRequest*, uint32_t timeoutMs) {
    readTimeouts.push_back(timeoutMs);
    if (count) *count = 0;
    lastError = 0;
    if (!IsOpen()) return Fail(kPortNotOpen);
    ++readCalls;
    if (readsBeforeFailure == 0) return Fail(readResult != 0 ? readResult : 5u);
    if (readsBeforeFailure != ~0u) --readsBeforeFailure;
    uint32_t n = 0;
    char* out = static_cast<char*>(buffer);
    while (n < capacity && !incoming_.empty() && Due(incoming_.front())) {
        Chunk& chunk = incoming_.front();
        const uint32_t take = std::min<uint32_t>(capacity - n, static_cast<uint32_t>(chunk.bytes.size()));
        std::memcpy(out + n, chunk.bytes.data(), take);
        n += take;
        chunk.bytes.erase(0, take);
        if (chunk.bytes.empty()) incoming_.pop_front();
    }
    if (n == 0 && clock_ && emptyReadMs != 0) clock_->Advance(emptyReadMs);
    if (count) *count = n;
    return 0;
}

uint32_t ScriptedPort::SetRts(bool raised) {
    calls.push_back(std::string("SetRts(") + (raised ? "1" : "0") + ")@" + std::to_string(Now()));
    lastError = 0;
    if (!IsOpen()) return Fail(kPortNotOpen);
    rts = raised;
    return 0;
}

uint32_t ScriptedPort::GetInputQueueCount(uint32_t* count) {
    ++queueCountCalls;
    if (count) *count = 0;
    lastError = 0;
    if (!IsOpen()) return Fail(kPortNotOpen);
    if (queueCountResult != 0) return Fail(queueCountResult);
    if (count) *count = static_cast<uint32_t>(Pending());
    return 0;
}

}  // namespace kelvora::testing
