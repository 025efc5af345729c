// A poll's summary line, written and read back (see the header).
#include "stations/poll_counts.h"

#include <cstdlib>

namespace kelvora {

namespace {

constexpr char kPollDone[] = "poll done: ";
constexpr char kSilent[] = " (the modem fell silent)";
constexpr char kRefused[] = " (the modem refused the listing";
constexpr char kErrorNumber[] = ", error ";

}  // namespace

std::string DescribePollCounts(const PollCounts& c) {
    std::string text = kPollDone;
    text += "listed " + std::to_string(c.listed) + ", applied " + std::to_string(c.applied) +
            ", refused by the sender check " + std::to_string(c.refusedBySender) + ", not a frame " +
            std::to_string(c.notAFrame) + ", not for this station " + std::to_string(c.notForStation) +
            ", sent before one applied " + std::to_string(c.sentBeforeApplied) + ", seen before " +
            std::to_string(c.seenBefore) + ", deleted " + std::to_string(c.deleted) + ", left for a later poll " +
            std::to_string(c.notDeleted);
    // Told only where a key refused something: without keys the line is as it was.
    if (c.refusedByKey != 0) text += ", refused by the key check " + std::to_string(c.refusedByKey);
    if (c.modemSilent) {
        text += kSilent;
    } else if (c.listingRefused) {
        text += kRefused;
        if (c.listingError >= 0) text += kErrorNumber + std::to_string(c.listingError);
        text += ")";
    }
    return text;
}

bool ReadPollSummary(const std::string& event, PollSummary* summary) {
    if (event.compare(0, sizeof kPollDone - 1, kPollDone) != 0) return false;
    *summary = PollSummary{};
    summary->counts = event.substr(sizeof kPollDone - 1);
    const size_t refused = event.rfind(kRefused);
    if (event.size() >= sizeof kSilent - 1 && event.compare(event.size() - (sizeof kSilent - 1), std::string::npos, kSilent) == 0) {
        summary->modemSilent = true;
    } else if (refused != std::string::npos) {
        summary->listingRefused = true;
        const size_t number = event.find(kErrorNumber, refused);
        if (number != std::string::npos) {
            summary->listingError = std::atoi(event.c_str() + number + sizeof kErrorNumber - 1);
        }
    }
    return true;
}

}  // namespace kelvora
