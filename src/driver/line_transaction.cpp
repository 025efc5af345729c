// LineTransaction: the steps of an exchange on the line (see the header).
// Every pause goes through the line's clock.
#include "driver/line_transaction.h"

#include <algorithm>

#include "driver/line_keeper.h"

namespace kelvora {

namespace {

constexpr uint32_t kRtsHoldMs = 5;
constexpr uint32_t kWaitingChunkBytes = 4096;

bool DrivesRts(int32_t lineType) { return lineType == 1 || lineType == 2; }

}  // namespace

bool LineTransaction::Ready() {
    return line_.keeper != nullptr ? line_.keeper->Ready(line_) : line_.port != nullptr;
}

uint32_t LineTransaction::Reported(uint32_t code, const char* what) {
    if (code != 0 && line_.keeper != nullptr) line_.keeper->Failed(line_, code, what);
    return code;
}

uint32_t LineTransaction::QueueCount() {
    uint32_t waiting = 0;
    if (line_.port == nullptr) return 0;
    if (Reported(line_.port->GetInputQueueCount(&waiting), "the count of bytes waiting") != 0) return 0;
    return waiting;
}

bool LineTransaction::SetAsideWaiting(std::string& setAside, uint32_t maxMs) {
    if (!Ready()) return false;
    SerialPort& port = *line_.port;
    Clock& clock = *line_.clock;
    const uint32_t start = clock.TickCount();
    char chunk[kWaitingChunkBytes];
    bool found = false;
    while (setAside.size() < kMaxResponseBytes) {
        uint32_t waiting = QueueCount();
        if (waiting == 0) {
            // One more look after a poll period catches the tail of an answer
            // that was still on its way; nothing at all costs no time.
            if (!found || static_cast<uint32_t>(clock.TickCount() - start) >= maxMs) break;
            found = false;
            clock.Sleep(kLinePollMs);
            continue;
        }
        waiting = std::min<uint32_t>({waiting, kWaitingChunkBytes,
                                      static_cast<uint32_t>(kMaxResponseBytes - setAside.size())});
        uint32_t got = 0;
        if (Reported(port.Read(chunk, waiting, &got, nullptr, kWaitForever), "a read") != 0) return false;
        if (got == 0) break;  // the queue promised bytes the read did not bring
        setAside.append(chunk, std::min(got, waiting));
        found = true;
    }
    return true;
}

bool LineTransaction::Send(const char* bytes, uint32_t length, uint32_t writeTimeoutMs) {
    if (!Ready()) return false;
    SerialPort& port = *line_.port;
    const bool rts = DrivesRts(line_.lineType);
    if (rts) port.SetRts(true);
    if (Reported(port.Write(bytes, length, nullptr, nullptr, writeTimeoutMs), "a write") != 0) return false;
    if (rts) {
        line_.BusyWait(kRtsHoldMs);
        port.SetRts(false);
    }
    return true;
}

uint32_t LineTransaction::AwaitFirstByte(uint32_t timeoutMs) {
    const uint32_t polls = timeoutMs / kLinePollMs;
    uint32_t waiting = 0;
    for (uint32_t i = 0; i <= polls; ++i) {
        line_.clock->Sleep(kLinePollMs);
        waiting = QueueCount();
        if (waiting > 0 || line_.port == nullptr || !line_.port->IsOpen()) break;  // an answer, or no line
    }
    return waiting;
}

CollectEnd LineTransaction::Collect(std::string& buffer, const CollectRules& rules,
                                    const std::function<bool(const std::string&, size_t)>& complete) {
    if (line_.port == nullptr) return CollectEnd::kReadFailed;  // no port: nothing can be read
    SerialPort& port = *line_.port;
    Clock& clock = *line_.clock;
    char chunk[kWaitingChunkBytes];
    while (buffer.size() < kMaxResponseBytes) {
        clock.Sleep(kLinePollMs);
        uint32_t want = kLinePieceBytes;
        if (rules.sizing != ReadSizing::kPieces) {
            const uint32_t waiting = QueueCount();
            if (rules.sizing == ReadSizing::kQueuedPieces) {
                want = std::min(waiting, kLinePieceBytes);
            } else if (waiting != 0) {
                want = std::min(waiting, kWaitingChunkBytes);
            }
        }
        want = static_cast<uint32_t>(std::min<size_t>(want, kMaxResponseBytes - buffer.size()));
        uint32_t got = 0;
        if (Reported(port.Read(chunk, want, &got, nullptr, kWaitForever), "a read") != 0) return CollectEnd::kReadFailed;
        got = std::min(got, want);  // a port never delivers more than asked
        if (got != 0) {
            const size_t from = buffer.size();
            buffer.append(chunk, got);
            if (complete && complete(buffer, from)) return CollectEnd::kComplete;
            continue;  // bytes are flowing: the clock is not looked at
        }
        if (rules.quietAfterMs == 0 || static_cast<uint32_t>(clock.TickCount() - rules.start) >= rules.quietAfterMs) {
            return CollectEnd::kQuiet;
        }
    }
    return CollectEnd::kBound;
}

}  // namespace kelvora
