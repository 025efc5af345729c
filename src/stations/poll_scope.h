// PollScope: what one poll time of the central station covers. By default
// each (site, group) keeps its own, so a host scanning many groups pays a
// pause and a listing for each; a station-wide poll keeps one for the whole
// station, since one listing applies every site's reports. Chosen by the
// user (KELVORA_POLL_SCOPE, else on Windows the "PollScope" registry value)
// when the station is created.
#pragma once

#include <string>

namespace kelvora {

enum class PollScope { kGroup, kStation };

// "station" gives kStation; anything else, unset included, kGroup.
PollScope PollScopeFromText(const std::string& text);
PollScope PollScopeFromSystem(std::string* setting = nullptr);

// The trace's line on the scope in force, naming what the setting held.
std::string DescribePollScope(PollScope scope, const std::string& setting);

}  // namespace kelvora
