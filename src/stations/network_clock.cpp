// NetworkClock: the network's time from the stamps of received messages
// (see the header).
#include "stations/network_clock.h"

#include <algorithm>

namespace kelvora {

void NetworkClock::Learn(uint64_t localMs, int64_t sentSeconds) {
    differences_[next_] = static_cast<int64_t>(localMs) - sentSeconds * 1000;
    next_ = (next_ + 1) % kRecent;
    count_ = std::min(count_ + 1, kRecent);
}

bool NetworkClock::NetworkMsAt(uint64_t localMs, int64_t* networkMs) const {
    if (count_ == 0) return false;
    const auto end = differences_.begin() + static_cast<std::ptrdiff_t>(count_);
    const int64_t smallest = *std::min_element(differences_.begin(), end);
    *networkMs = static_cast<int64_t>(localMs) - smallest;
    return true;
}

}  // namespace kelvora
