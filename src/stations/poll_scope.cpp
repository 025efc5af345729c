// PollScope: the user's choice of what a poll time covers (see the header).
#include "stations/poll_scope.h"

#include "platform/system_setting.h"
#include "platform/trace.h"

namespace kelvora {

PollScope PollScopeFromText(const std::string& text) {
    return text == "station" ? PollScope::kStation : PollScope::kGroup;
}

PollScope PollScopeFromSystem(std::string* setting) {
    const std::string text = SystemSetting("KELVORA_POLL_SCOPE", "PollScope");
    if (setting != nullptr) *setting = text;
    return PollScopeFromText(text);
}

std::string DescribePollScope(PollScope scope, const std::string& setting) {
    std::string line = scope == PollScope::kStation
                           ? "poll scope: station (one poll time for every site and group)"
                           : "poll scope: group (one poll time for each site and group)";
    if (setting.empty()) return line + ", the default";
    if (setting != "station" && setting != "group") {
        return line + ": the setting " + Printable(setting) + " is neither station nor group";
    }
    return line + ", as set";
}

}  // namespace kelvora
