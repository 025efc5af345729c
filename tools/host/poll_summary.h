// PollSummaries: with -v, a line for each poll the driver made (messages
// listed, applied, refused by the sender check, not a frame, deleted), read
// from the driver's dialogue trace. The session asks for new ones after each
// read; the trace goes to a file of the user's (--trace=FILE) or to a private
// one that is removed at the end.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kelvora_host {

class PollSummaries {
public:
    // The trace destination the driver is to use for the user's --trace
    // (empty: none): a private file when the user named none. Empty when
    // the polls cannot be followed (the trace goes to stderr, where its poll
    // lines are shown anyway, or to the debug output).
    std::string Follow(const std::string& userTrace);
    ~PollSummaries();

    // The summaries of the polls traced since the last call, "listed 2,
    // applied 1, ...".
    std::vector<std::string> Take();

private:
    std::string path_;
    bool owned_ = false;
    uint64_t offset_ = 0;
    std::string partial_;
};

}  // namespace kelvora_host
