// NetworkClock: the network's time as the centre can tell it. A message's
// service-centre stamp says when the network took it; the centre lists it
// some time later by its own clock. The smallest difference over a peer's
// recent messages is the network's clock against ours, plus the quickest
// delivery seen: adding it to our clock tells what the network's clock
// reads now, at most that quickest delivery early. Learned per peer, since
// each site's service centre stamps by its own clock.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace kelvora {

class NetworkClock {
public:
    // A message stamped sentSeconds (seconds since 2000 UTC, as SendingTime
    // gives it) was listed at localMs (our clock, in milliseconds).
    void Learn(uint64_t localMs, int64_t sentSeconds);
    bool Known() const { return count_ != 0; }
    // The network's time, in milliseconds since 2000 UTC, when our clock
    // read localMs; false while nothing has been learned.
    bool NetworkMsAt(uint64_t localMs, int64_t* networkMs) const;

private:
    // The recent messages whose smallest difference counts: enough to find
    // a quick delivery among slow ones, few enough to follow a service
    // centre whose clock was set.
    static constexpr size_t kRecent = 8;
    std::array<int64_t, kRecent> differences_{};  // localMs - sent in ms
    size_t count_ = 0;
    size_t next_ = 0;
};

// Widens a station's 32-bit tick count, which wraps after 49.7 days, to
// milliseconds since the station began, for times kept longer than a poll
// period. Each call must come within 49.7 days of the last.
class StationTime {
public:
    void Start(uint32_t tick) {
        last_ = tick;
        elapsed_ = 0;
    }
    uint64_t At(uint32_t tick) {
        elapsed_ += static_cast<uint32_t>(tick - last_);
        last_ = tick;
        return elapsed_;
    }

private:
    uint32_t last_ = 0;
    uint64_t elapsed_ = 0;
};

}  // namespace kelvora
