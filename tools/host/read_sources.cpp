// ReadSources (see the header).
#include "read_sources.h"

#include "station_facts.h"

namespace kelvora_host {

ValueSource ReadSources::After(const kelvora::RegisterRequest& request, const std::string& typeName,
                               const DriverEvents* events, std::string* note) {
    note->clear();
    if (typeName != "M") return ValueSource::kReading;  // the station's own settings: no poll refreshes them
    if (events == nullptr) return ValueSource::kUnknown;
    int64_t group = 0;
    if (role_ == StationRole::kRemote) {
        group = request.address0 / kGroupSize;
    } else if (!stationWide_) {
        group = int64_t{request.address0} * 1001 + request.address1 / kGroupSize;
    }
    Copy& copy = copies_[group];
    if (!events->polls.empty()) {
        if (events->pollUnanswered) {
            copy = Copy{kUnansweredNote, "the modem did not answer a poll"};
        } else if (events->pollRefused) {
            const std::string why = events->pollError >= 0 ? DescribeSmsError(events->pollError) : "ERROR";
            copy = Copy{"(the modem refused the poll: " + why + "; value from the station's copy)",
                        "the modem refused a poll (" + why + ")"};
        } else {
            copy = Copy{};
        }
    }
    if (firstFailure_.empty()) firstFailure_ = copy.failure;
    *note = copy.note;
    return note->empty() ? ValueSource::kReading : ValueSource::kCopy;
}

}  // namespace kelvora_host
