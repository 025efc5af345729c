// PollSummaries: follows the driver's dialogue trace, so that the console
// can tell what the driver did (each poll, what became of a message: see
// driver_events.h). The session asks for the new lines after each read and
// write; the trace goes to a file of the user's (--trace=FILE) or to the
// console's private one (see PrivateTrace).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "private_trace.h"

namespace kelvora_host {

class PollSummaries {
public:
    // The trace destination the driver is to use for the user's --trace
    // (empty: none): a private file when the user named none. Empty when
    // the polls cannot be followed (the trace goes to stderr, where its poll
    // lines are shown anyway, or to the debug output).
    std::string Follow(const std::string& userTrace);

    // The whole lines traced since the last call.
    std::vector<std::string> Take();

private:
    std::string path_;
    PrivateTrace private_;
    uint64_t offset_ = 0;
    std::string partial_;
};

}  // namespace kelvora_host
