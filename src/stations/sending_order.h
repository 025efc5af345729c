// SendingOrder: the sending time of the frame last applied to each of a
// station's slots (at the centre a site's group of registers, at a site one
// register), so that a frame the network delivered late, or delivered again,
// never overwrites what a frame sent after it set: the later-sent one wins,
// across polls as within one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kelvora {

// The stations' messages are valid for five minutes, so no genuine frame
// arrives later than that. A frame stamped this much or more before the last
// one applied is taken as the service centre's clock having been set back:
// one wrong stamp holds a register back for this long at most.
constexpr int64_t kClockCorrectionSeconds = 10 * 60;

enum class SendingVerdict : uint8_t {
    kInOrder,          // not sent before the last one applied: apply it
    kSentBefore,       // sent before the last one applied, by less than the correction: do not
    kClockCorrection,  // stamped that much earlier: apply it, its time becomes the last
    kNoTime,           // no time stamp to go by: apply it, the last stays
};

class SendingOrder {
public:
    explicit SendingOrder(size_t slots) : last_(slots, kNone) {}

    // What a frame stamped so may do to a slot; secondsBefore is how much
    // earlier than the last it was sent (0 when it was not).
    SendingVerdict Judge(size_t slot, const char* timestamp, int64_t* secondsBefore = nullptr) const;
    // The frame was applied to the slot: its time becomes the last.
    void Applied(size_t slot, const char* timestamp);

    // The same for a keyed peer's frames, by their counters (an order of
    // their own, kept apart from time stamps): kInOrder or kSentBefore, no
    // clock to correct.
    SendingVerdict JudgeCounter(size_t slot, uint64_t counter) const;
    void AppliedCounter(size_t slot, uint64_t counter);

private:
    static constexpr int64_t kNone = INT64_MIN;
    std::vector<int64_t> last_;  // seconds since 2000 UTC; sized once, never grows
};

// A few words for the trace on a frame not applied, or applied against its
// stamp ("" for one in order).
std::string DescribeVerdict(SendingVerdict verdict, int64_t secondsBefore);

}  // namespace kelvora
