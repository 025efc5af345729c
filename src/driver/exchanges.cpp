// The request/response exchanges on the serial line: write the request, wait
// for the answer by a line event or by polling the input queue, and collect it
// in 10-byte pieces into the caller's buffer. The steps themselves are
// LineTransaction's; what is here is which steps, and the status left.
#include <algorithm>
#include <vector>

#include "driver/driver_base.h"
#include "driver/line_transaction.h"

namespace kelvora {

namespace {

// An exchange whose write failed: the buffer is emptied and status 6 left.
int32_t WriteFailed(DriverStatus& status, std::string& buffer, uint32_t& count) {
    buffer.clear();
    count = 0;
    status.SetCode(kStatusWriteError);
    return 0;
}

bool SendRequest(DriverBase& d, std::string& buffer, uint32_t& count, uint32_t writeTimeoutMs) {
    const uint32_t length = std::min<uint32_t>(count, static_cast<uint32_t>(buffer.size()));
    return LineTransaction(d.Line()).Send(buffer.data(), length, writeTimeoutMs);
}

// Collects into the emptied buffer; false (status 5) when a read fails, the
// buffer keeping what was collected.
bool CollectInto(DriverBase& d, std::string& buffer, uint32_t& count, ReadSizing sizing) {
    CollectRules rules;
    rules.sizing = sizing;
    const CollectEnd end = LineTransaction(d.Line()).Collect(buffer, rules);
    count = static_cast<uint32_t>(buffer.size());
    if (end == CollectEnd::kReadFailed) {
        d.status.SetCode(kStatusReadError);
        return false;
    }
    return true;
}

}  // namespace

void DriverBase::BusyWait(uint32_t milliseconds) { Line().BusyWait(milliseconds); }

int32_t DriverBase::ExchangeOnEvent(std::string& buffer, uint32_t& count, const uint32_t* waitTimeoutMs,
                                    const uint32_t* writeTimeoutMs) {
    const uint32_t t = EffectiveTimeoutMs();
    if (!SendRequest(*this, buffer, count, writeTimeoutMs != nullptr ? *writeTimeoutMs : t)) {
        return WriteFailed(status, buffer, count);
    }
    LineTransaction line(Line());
    if (line.Reported(port->WaitForEvent(nullptr, waitTimeoutMs != nullptr ? *waitTimeoutMs : t),
                      "the wait for a line event") != 0) {
        buffer.clear();
        count = 0;
        status.SetCode(kStatusReadError);
        return 0;
    }
    const uint32_t events = port->TakeLastEvent();
    buffer.clear();
    count = 0;
    if ((events & kEventRxChar) != 0 && !CollectInto(*this, buffer, count, ReadSizing::kPieces)) return 0;
    status.SetCode(kStatusOk);
    return 1;
}

int32_t DriverBase::ExchangePolled(std::string& buffer, uint32_t& count, int32_t, int32_t) {
    if (!SendRequest(*this, buffer, count, kLineWriteTimeoutMs)) return WriteFailed(status, buffer, count);
    const uint32_t waiting = LineTransaction(Line()).AwaitFirstByte(EffectiveTimeoutMs());
    buffer.clear();
    count = 0;
    if (waiting == 0) return WriteFailed(status, buffer, count);  // no answer counts as a write error
    if (!CollectInto(*this, buffer, count, ReadSizing::kPieces)) return 0;
    status.SetCode(kStatusOk);
    return 1;
}

int32_t DriverBase::ExchangeQueued(std::string& buffer, uint32_t& count, int32_t, int32_t) {
    if (!SendRequest(*this, buffer, count, kLineWriteTimeoutMs)) return WriteFailed(status, buffer, count);
    uint32_t waiting = LineTransaction(Line()).AwaitFirstByte(EffectiveTimeoutMs());
    buffer.clear();
    count = 0;
    if (waiting == 0) return WriteFailed(status, buffer, count);

    // What is already queued comes in one read; the response bound caps it.
    waiting = std::min<uint32_t>(waiting, static_cast<uint32_t>(kMaxResponseBytes));
    std::vector<char> block(static_cast<size_t>(waiting) + kLinePieceBytes);
    uint32_t got = 0;
    if (LineTransaction(Line()).Reported(port->Read(block.data(), waiting, &got, nullptr, kWaitForever), "a read") != 0) {
        status.SetCode(kStatusReadError);
        return 0;
    }
    buffer.assign(block.data(), std::min(got, waiting));
    count = static_cast<uint32_t>(buffer.size());

    // Then whatever follows, at most 10 bytes every 10 ms.
    if (!CollectInto(*this, buffer, count, ReadSizing::kQueuedPieces)) return 0;
    status.SetCode(kStatusOk);
    return 1;
}

}  // namespace kelvora
