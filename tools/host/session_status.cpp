// The station's view at the console: free texts shown as a poll takes them,
// the reason for a read the centre failed, and `status`, the centre's view
// of each site (see StationView).
#include <chrono>
#include <set>

#include "console_text.h"
#include "exit_codes.h"
#include "session.h"

namespace kelvora_host {

void Session::FollowView(const std::vector<std::string>& lines) {
    const StationView::Taken taken = view_.Take(lines);
    for (const std::string& text : taken.freeTexts) output_.Line(text);
    // Not applied: a forgery, a replay or a key amiss is worth a word each time.
    for (const std::string& refusal : taken.refusedByKey) WriteErr("kelvora-host: " + refusal + "\n");
    if (!taken.readFailure.empty()) readFailure_ = taken.readFailure;
}

int Session::Status(const Operation&) {
    if (!takeTraceLines) {
        Fail("status is read from the driver's trace, which --trace=debug takes away: use --trace=FILE, or none");
        return kExitOperationFailed;
    }
    TakeEvents();  // what the driver did since the last operation
    std::set<int32_t> withDestination;
    for (const auto& [site, number] : destinations_) {
        if (!number.empty()) withDestination.insert(site);
    }
    const int64_t nowMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                              std::chrono::system_clock::now().time_since_epoch())
                              .count();
    const std::vector<SiteStatus> sites = view_.Sites(withDestination, nowMs);
    if (settings_.format == OutputFormat::kText) {
        for (const std::string& line : StatusText(sites, view_.staleAfterSeconds())) output_.Line(line);
        return kExitOk;
    }
    std::string out;
    for (const std::string& line : settings_.format == OutputFormat::kCsv ? StatusCsv(sites) : StatusJson(sites)) {
        out += line + "\n";
    }
    WriteOut(out);
    return kExitOk;
}

}  // namespace kelvora_host
