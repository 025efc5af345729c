// FrameCounters: what a keyed station remembers of one key's frames across
// restarts, in a file beside the key ("<key file>.centre.counters" or
// "<key file>.site.counters", owner-only): the
// counter it sent last, and the counters of the frames it accepted last from
// its peer. A counter is written to the file before its frame is sent or
// applied, so that a crash never sends one twice nor lets a frame be applied
// twice.
//
// Sending: the next counter is above the last one sent and at least the
// clock's floor (the seconds since 2020 times 1024), so that a station
// brought back from an old copy of its file still sends counters its peer
// has not seen, as long as its clock is right.
//
// Receiving: the network reorders messages, so a frame is not refused for
// coming after one sent later; it is refused when its counter was accepted
// before (a replay), or when it lies below all of the last kAcceptedWindow
// counters accepted (too old to tell).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kelvora {

constexpr uint64_t kMaxFrameCounter = 0xFFFFFFFFFFFFull;  // twelve hexadecimal digits
constexpr size_t kAcceptedWindow = 64;
constexpr int64_t kCounterEpochSeconds = 1577836800;  // 2020-01-01 00:00 UTC
constexpr unsigned kCounterSecondShift = 10;          // 1024 counters a second

enum class CounterVerdict : uint8_t {
    kNew,       // not seen: acceptable
    kReplayed,  // accepted before
    kTooOld,    // below every counter of the window
};

// The clock's floor for a counter sent at unixSeconds (0 before 2020).
uint64_t CounterFloor(int64_t unixSeconds);

class FrameCounters {
public:
    // The counters kept at path; a missing file is a fresh start. false,
    // with the reason, when the file cannot be read or is not understood.
    bool Load(const std::string& path, std::string* why);

    // The counter for the next frame to send, written to the file before it
    // is returned. false when it cannot be written, or every counter is used:
    // nothing may be sent then.
    bool NextToSend(int64_t unixSeconds, uint64_t* counter, std::string* why);

    CounterVerdict Judge(uint64_t counter) const;
    // Takes an acceptable counter into the window and writes the file. false
    // when it cannot be written: the frame is then not applied.
    bool Accept(uint64_t counter, std::string* why);

    uint64_t lastSent() const { return sent_; }
    // The highest counter accepted, 0 for none.
    uint64_t lastAccepted() const { return accepted_.empty() ? 0 : accepted_.back(); }

private:
    bool Save(std::string* why) const;

    std::string path_;
    uint64_t sent_ = 0;
    std::vector<uint64_t> accepted_;  // ascending, at most kAcceptedWindow
};

// "%012llX": a counter as the frames and the file write it.
std::string CounterText(uint64_t counter);
// Twelve hexadecimal digits (capitals) as a counter; false for anything else.
bool ReadCounterText(const char* text, size_t length, uint64_t* counter);

}  // namespace kelvora
