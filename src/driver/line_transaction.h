// LineTransaction: the steps every request/response exchange on the serial
// line is made of, in one place: setting aside what already waits, writing
// the request (with RTS raised around it for half-duplex line drivers),
// waiting for the first byte of the answer and collecting it. Each step that
// begins an exchange asks the line's keeper for the line first, and every
// transfer that fails is told to it (see LineKeeper). The driver's
// exchanges and the modem's exchange differ only in how they size their reads
// and when they stop, which they say through CollectRules.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "driver/serial_line.h"

namespace kelvora {

// A babbling line cannot grow a response, nor what is set aside before a
// request, past this: collecting stops there and the rest stays queued.
constexpr size_t kMaxResponseBytes = 256 * 1024;

constexpr uint32_t kLinePollMs = 10;        // sleep between polls and reads
constexpr uint32_t kLinePieceBytes = 10;    // the size of a read piece
constexpr uint32_t kLineWriteTimeoutMs = 2000;

// How Collect sizes each read.
enum class ReadSizing : uint8_t {
    kPieces,        // always a 10-byte piece; the port's read window bounds it
    kQueuedPieces,  // what waits in the input queue, at most 10 (0 when nothing waits)
    kWaiting,       // everything that waits, up to 4 KiB; a 10-byte piece when nothing does
};

struct CollectRules {
    ReadSizing sizing = ReadSizing::kPieces;
    // An empty read ends collecting only once this many milliseconds have
    // passed since `start` (a tick count); 0: the first empty read ends it.
    uint32_t quietAfterMs = 0;
    uint32_t start = 0;
};

enum class CollectEnd : uint8_t {
    kComplete,    // the caller's check found the answer whole
    kQuiet,       // an empty read ended it
    kBound,       // kMaxResponseBytes reached
    kReadFailed,  // the port failed a read; what came before stays
};

class LineTransaction {
public:
    explicit LineTransaction(const SerialLine& line) : line_(line) {}

    // Reads off the bytes already waiting (a late answer, an unsolicited
    // line) into setAside, so that they are not taken for the answer to the
    // next request. Once something was found it looks again 10 ms later, so a
    // late answer still arriving goes too; it stops when a look finds nothing,
    // at kMaxResponseBytes, or after maxMs. false when a read failed or the
    // line is down.
    bool SetAsideWaiting(std::string& setAside, uint32_t maxMs);

    // RTS up (line types 1 and 2), write, hold 5 ms by the tick count, RTS
    // down. false when the line is down, or when the port refused the write;
    // RTS then stays raised.
    bool Send(const char* bytes, uint32_t length, uint32_t writeTimeoutMs);

    // Polls the input queue every 10 ms, at most timeoutMs / 10 + 1 times
    // (it stops early when the line breaks). The number of bytes waiting, 0
    // when none came.
    uint32_t AwaitFirstByte(uint32_t timeoutMs);

    // Appends what arrives to buffer. After each read that brought bytes,
    // complete (when given) is asked with the buffer and the offset where the
    // new bytes begin; true ends collecting. Sleeps 10 ms before every read.
    CollectEnd Collect(std::string& buffer, const CollectRules& rules,
                       const std::function<bool(const std::string&, size_t)>& complete = nullptr);

    // The line's keeper hears of a transfer (what) that failed with code;
    // returns code.
    uint32_t Reported(uint32_t code, const char* what);

private:
    bool Ready();
    // Bytes waiting in the input queue; 0 when the count fails.
    uint32_t QueueCount();

    SerialLine line_;
};

}  // namespace kelvora
