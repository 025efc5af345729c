// PollSummaries: follows the driver's dialogue trace, so that the console
// can tell what the driver did (each poll, what became of a message: see
// driver_events.h). The session asks for the new lines after each read and
// write; the trace goes to a file of the user's (--trace=FILE) or to the
// console's private one (see PrivateTrace), across the file's rollover at
// its size bound. Only lines this process's station wrote are taken: a file
// of the user's may be shared with other programs' stations.
#pragma once

#include <string>
#include <vector>

#include "platform/trace.h"
#include "platform/trace_follower.h"
#include "private_trace.h"

namespace kelvora_host {

class PollSummaries {
public:
    // The trace destination the driver is to use for the user's --trace
    // (empty: none): a private file when the user named none. Empty when
    // the polls cannot be followed (the trace goes to stderr, where its poll
    // lines are shown anyway, or to the debug output).
    std::string Follow(const std::string& userTrace);

    // Whether the file followed is there: the driver creates it with the
    // station (a driver that does not know the host's trace does not).
    bool FileThere() const;

    // The station whose lines are taken: its role, device address and port
    // ("COM<n>" in the trace; 0 for none), in this process. Lines written
    // before the station knew its device address or port are taken too.
    void SetWriter(const std::string& role, int32_t device, int port);

    // The whole lines the station traced since the last call; every line
    // read (others' too) into everyLine when given.
    std::vector<std::string> Take(std::vector<std::string>* everyLine = nullptr);

private:
    PrivateTrace private_;
    kelvora::TraceFollower follower_;
    kelvora::TraceWriter writer_;
};

}  // namespace kelvora_host
