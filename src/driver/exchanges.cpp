// The request/response exchanges on the serial line: write the request
// (steering a half-duplex line driver with RTS when the line type asks for
// it), wait for the answer by a line event or by polling the input queue, and
// collect it into the caller's buffer. Every pause goes through the clock.
#include <algorithm>
#include <vector>

#include "driver/driver_base.h"

namespace kelvora {

namespace {

constexpr uint32_t kExchangeWriteTimeoutMs = 2000;
constexpr uint32_t kRtsHoldMs = 5;
constexpr uint32_t kPollPeriodMs = 10;
constexpr uint32_t kPieceSize = 10;
// A babbling line cannot grow a response without end: collecting stops here
// and the rest stays in the input queue.
constexpr size_t kMaxExchangeResponse = 256 * 1024;

bool DrivesRts(int32_t lineType) { return lineType == 1 || lineType == 2; }

}  // namespace

uint32_t DriverBase::EffectiveTimeoutMs() const {
    const uint32_t t = static_cast<uint32_t>(timeoutMs);
    return t > kMaxTimeoutMs ? kMaxTimeoutMs : t;
}

void DriverBase::BusyWait(uint32_t milliseconds) {
    Clock& c = clock();
    const uint32_t t0 = c.TickCount();
    while (static_cast<uint32_t>(c.TickCount() - t0) < milliseconds) {
    }
}

namespace {

// Steps shared by the three exchanges: RTS up, write, hold, RTS down.
// false (status 6, buffer emptied) when the write fails.
bool SendRequest(DriverBase& d, std::string& buffer, uint32_t& count, uint32_t writeTimeoutMs) {
    const bool rts = DrivesRts(d.lineType);
    if (rts && d.port) d.port->SetRts(true);
    const uint32_t length = std::min<uint32_t>(count, static_cast<uint32_t>(buffer.size()));
    const uint32_t result = d.port ? d.port->Write(buffer.data(), length, nullptr, nullptr, writeTimeoutMs)
                                   : kPortNotOpen;
    if (result != 0) {
        // RTS stays raised on this path, as the line was left.
        buffer.clear();
        count = 0;
        d.status.SetCode(kStatusWriteError);
        return false;
    }
    if (rts) {
        d.BusyWait(kRtsHoldMs);
        d.port->SetRts(false);
    }
    return true;
}

// Reads 10-byte pieces until one comes back empty. false (status 5) when a
// read fails; the buffer keeps what was collected.
bool CollectPieces(DriverBase& d, std::string& buffer, uint32_t& count) {
    char piece[kPieceSize];
    while (buffer.size() < kMaxExchangeResponse) {
        d.clock().Sleep(kPollPeriodMs);
        uint32_t got = 0;
        if (d.port->Read(piece, kPieceSize, &got, nullptr, kWaitForever) != 0) {
            d.status.SetCode(kStatusReadError);
            return false;
        }
        if (got == 0) break;
        buffer.append(piece, std::min(got, kPieceSize));
        count = static_cast<uint32_t>(buffer.size());
    }
    return true;
}

// Polls the input queue every 10 ms, at most T / 10 + 1 times. The number of
// bytes waiting, 0 when none came.
uint32_t PollFirstByte(DriverBase& d) {
    const uint32_t polls = d.EffectiveTimeoutMs() / kPollPeriodMs;
    uint32_t waiting = 0;
    for (uint32_t i = 0; i <= polls; ++i) {
        d.clock().Sleep(kPollPeriodMs);
        if (d.port->GetInputQueueCount(&waiting) != 0) waiting = 0;
        if (waiting > 0) break;
    }
    return waiting;
}

}  // namespace

int32_t DriverBase::ExchangeOnEvent(std::string& buffer, uint32_t& count, const uint32_t* waitTimeoutMs,
                                    const uint32_t* writeTimeoutMs) {
    const uint32_t t = EffectiveTimeoutMs();
    if (!SendRequest(*this, buffer, count, writeTimeoutMs != nullptr ? *writeTimeoutMs : t)) return 0;

    if (port->WaitForEvent(nullptr, waitTimeoutMs != nullptr ? *waitTimeoutMs : t) != 0) {
        buffer.clear();
        count = 0;
        status.SetCode(kStatusReadError);
        return 0;
    }
    const uint32_t events = port->TakeLastEvent();
    buffer.clear();
    count = 0;
    if ((events & kEventRxChar) != 0) {
        if (!CollectPieces(*this, buffer, count)) return 0;
    }
    status.SetCode(kStatusOk);
    return 1;
}

int32_t DriverBase::ExchangePolled(std::string& buffer, uint32_t& count, int32_t, int32_t) {
    if (!SendRequest(*this, buffer, count, kExchangeWriteTimeoutMs)) return 0;
    const uint32_t waiting = PollFirstByte(*this);
    buffer.clear();
    count = 0;
    if (waiting == 0) {
        status.SetCode(kStatusWriteError);
        return 0;
    }
    if (!CollectPieces(*this, buffer, count)) return 0;
    status.SetCode(kStatusOk);
    return 1;
}

int32_t DriverBase::ExchangeQueued(std::string& buffer, uint32_t& count, int32_t, int32_t) {
    if (!SendRequest(*this, buffer, count, kExchangeWriteTimeoutMs)) return 0;
    uint32_t waiting = PollFirstByte(*this);
    buffer.clear();
    count = 0;
    if (waiting == 0) {
        status.SetCode(kStatusWriteError);
        return 0;
    }

    // What is already queued comes in one read; the queue size bounds it.
    waiting = std::min<uint32_t>(waiting, static_cast<uint32_t>(kMaxExchangeResponse));
    std::vector<char> block(static_cast<size_t>(waiting) + kPieceSize);
    uint32_t got = 0;
    if (port->Read(block.data(), waiting, &got, nullptr, kWaitForever) != 0) {
        status.SetCode(kStatusReadError);
        return 0;
    }
    buffer.assign(block.data(), std::min(got, waiting));
    count = static_cast<uint32_t>(buffer.size());

    // Then whatever follows, at most 10 bytes every 10 ms.
    char piece[kPieceSize];
    while (buffer.size() < kMaxExchangeResponse) {
        clock().Sleep(kPollPeriodMs);
        if (port->GetInputQueueCount(&waiting) != 0) waiting = 0;
        got = 0;
        if (port->Read(piece, std::min(waiting, kPieceSize), &got, nullptr, kWaitForever) != 0) {
            status.SetCode(kStatusReadError);
            return 0;
        }
        if (got == 0) break;
        buffer.append(piece, std::min(got, kPieceSize));
        count = static_cast<uint32_t>(buffer.size());
    }
    status.SetCode(kStatusOk);
    return 1;
}

}  // namespace kelvora
