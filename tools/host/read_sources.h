// ReadSources: whether a value read is a reading or the station's copy. A
// station polls a group of registers at most every 3 s; when the modem did
// not answer that poll or refused its listing, the group's values are the
// station's copy until a poll of the group is answered, and the reads in
// between (which do not poll) are the copy too.
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "driver/host_records.h"
#include "driver_events.h"
#include "station_loader.h"
#include "value_output.h"

namespace kelvora_host {

// The note of a value whose poll the modem did not answer.
constexpr char kUnansweredNote[] = "(the modem did not answer the poll; value from the station's copy)";

class ReadSources {
public:
    // stationWidePoll: the central station keeps one poll time for all its
    // registers (see the poll scope), so one poll serves every group.
    ReadSources(StationRole role, bool stationWidePoll) : role_(role), stationWide_(stationWidePoll) {}

    // Where a value read comes from, after the events its read left (null:
    // the driver's trace is not followed, so polls cannot be told); note: why
    // it is the copy, such as "(the modem did not answer the poll; value from
    // the station's copy)", empty for any other source.
    ValueSource After(const kelvora::RegisterRequest& request, const std::string& typeName,
                      const DriverEvents* events, std::string* note);

    // Why the first value from the station's copy was one ("the modem did not
    // answer a poll"), since the last Restart; empty when there was none.
    const std::string& firstFailure() const { return firstFailure_; }
    void Restart() { firstFailure_.clear(); }

private:
    StationRole role_;
    bool stationWide_;
    struct Copy {
        std::string note;     // for each value
        std::string failure;  // for the end of the run
    };
    std::map<int64_t, Copy> copies_;  // by group: what its last poll left, empty when answered
    std::string firstFailure_;
};

}  // namespace kelvora_host
