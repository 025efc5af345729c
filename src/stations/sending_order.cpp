// The sending order of applied frames (see the header).
#include "stations/sending_order.h"

#include "stations/sending_time.h"

namespace kelvora {

SendingVerdict SendingOrder::Judge(size_t slot, const char* timestamp, int64_t* secondsBefore) const {
    if (secondsBefore != nullptr) *secondsBefore = 0;
    int64_t sent = 0;
    if (slot >= last_.size() || !SendingTime(timestamp, &sent)) return SendingVerdict::kNoTime;
    const int64_t last = last_[slot];
    if (last == kNone || sent >= last) return SendingVerdict::kInOrder;
    if (secondsBefore != nullptr) *secondsBefore = last - sent;
    return last - sent < kClockCorrectionSeconds ? SendingVerdict::kSentBefore : SendingVerdict::kClockCorrection;
}

void SendingOrder::Applied(size_t slot, const char* timestamp) {
    int64_t sent = 0;
    if (slot < last_.size() && SendingTime(timestamp, &sent)) last_[slot] = sent;
}

SendingVerdict SendingOrder::JudgeCounter(size_t slot, uint64_t counter) const {
    if (slot >= last_.size() || last_[slot] == kNone) return SendingVerdict::kInOrder;
    return static_cast<int64_t>(counter) < last_[slot] ? SendingVerdict::kSentBefore : SendingVerdict::kInOrder;
}

void SendingOrder::AppliedCounter(size_t slot, uint64_t counter) {
    if (slot < last_.size()) last_[slot] = static_cast<int64_t>(counter);  // 48 bits at most
}

std::string DescribeVerdict(SendingVerdict verdict, int64_t secondsBefore) {
    switch (verdict) {
        case SendingVerdict::kSentBefore:
            return "sent " + std::to_string(secondsBefore) +
                   " s before the frame applied last to these registers: not applied";
        case SendingVerdict::kClockCorrection:
            return "stamped " + std::to_string(secondsBefore) +
                   " s before the frame applied last, taken as the service centre's clock set back";
        case SendingVerdict::kNoTime: return "no readable time stamp";
        case SendingVerdict::kInOrder: break;
    }
    return "";
}

}  // namespace kelvora
