// What one poll did, counted by what became of each message, and how it
// ended: the trace's "poll done" line says it, and the console reads that
// line back here, so that a poll the modem did not answer or refused is
// never shown as a good read.
#pragma once

#include <cstdint>
#include <string>

namespace kelvora {

struct PollCounts {
    int listed = 0;
    int applied = 0;
    int refusedBySender = 0;
    int notAFrame = 0;
    int notForStation = 0;
    int seenBefore = 0;
    int sentBeforeApplied = 0;
    int refusedByKey = 0;         // not signed, or signed and its code or counter did not check
    int deleted = 0;
    int notDeleted = 0;           // remembered for a later poll
    bool modemSilent = false;     // the poll stopped at an exchange that ended by the time-out
    bool listingRefused = false;  // a listing was answered ERROR, +CMS ERROR or +CME ERROR
    int32_t listingError = -1;    // its error number; -1 for a plain ERROR
};

// "poll done: listed 2, applied 1, ...", then how it ended when it could
// not list everything: " (the modem fell silent)", " (the modem refused the
// listing, error 310)".
std::string DescribePollCounts(const PollCounts& counts);

// A poll's end as its trace event tells it.
struct PollSummary {
    std::string counts;           // what follows "poll done: "
    bool modemSilent = false;
    bool listingRefused = false;
    int32_t listingError = -1;
};

// Reads a trace event (the text after the line's station); false when it is
// not a poll's summary.
bool ReadPollSummary(const std::string& event, PollSummary* summary);

}  // namespace kelvora
