// WriteHolds: the registers whose written value the central station holds
// against reports (HoldWrites on). A site's reports take seconds to cross
// the network, and a site applies a write command only at its next poll:
// reports sent before the write, or after it but before the site took it,
// land after the write and would show the old value for a while. A register
// the host wrote, once the network accepted the write command, keeps the
// written value until a report shows that value (confirmed), a report sent
// kHoldMarginSeconds or more after the write shows another (the site did not
// take it, or changed it since: that report wins), or the write's validity
// period and that margin have passed. Whether a report was sent that long
// after the write is told on the network's clock (see NetworkClock); while
// the centre has not learned it, only the written value or the time bound
// ends a hold.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "modem/submit_pdu.h"
#include "platform/trace.h"
#include "stations/network_clock.h"
#include "stations/telemetry_frame.h"

namespace kelvora {

// H: how long after a write a report must have been sent to overrule it.
constexpr uint32_t kHoldMarginSeconds = 60;
// The longest a hold lasts: the write command's validity and H.
constexpr uint32_t kHoldLimitSeconds = kMessageValiditySeconds + kHoldMarginSeconds;

class WriteHolds {
public:
    // The write of value to the site's register was accepted at acceptedMs
    // (the station's time, see StationTime); a hold on it replaces one before.
    void Begin(int32_t site, int32_t address, uint32_t value, uint64_t acceptedMs, const Trace& trace);
    // Ends the holds whose time bound passed by nowMs (at each poll, before
    // its reports are judged).
    void Expire(uint64_t nowMs, const Trace& trace);
    // A report of the site's registers first to first + 4, stamped with the
    // network's time sentMs (null when it has no readable stamp), about to
    // be applied. Confirms or gives up the holds it decides; bit i of the
    // result is set when register first + i keeps its held value.
    uint32_t Judge(int32_t site, int32_t first, const uint32_t values[kGroupSize], const int64_t* sentMs,
                   const NetworkClock& clock, const Trace& trace);

    size_t size() const { return holds_.size(); }

private:
    struct Hold {
        int32_t site;
        int32_t address;
        uint32_t value;
        uint64_t acceptedMs;
    };
    std::vector<Hold> holds_;  // a few: each write takes a second, each hold six minutes at most
    uint32_t sitesHeld_ = 0;   // bit s: site s has a hold (reports of the others pass at once)

    void Recount();
};

}  // namespace kelvora
