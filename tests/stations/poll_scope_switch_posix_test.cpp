// The poll scope switch on POSIX: KELVORA_POLL_SCOPE, read when the central
// station is created and named in its trace.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "stations/central_station.h"
#include "station_fixture.h"
#include "support/file_text.h"

namespace kelvora::testing {
namespace {

TEST(PollScopeSwitch, StationOnlyWhenTheEnvironmentSaysSoAndTheTraceTellsWhich) {
    const char* path = "poll_scope_switch_posix.trace";
    std::remove(path);
    setenv("KELVORA_TRACE", path, 1);
    setenv("KELVORA_POLL_SCOPE", "station", 1);
    EXPECT_EQ(PollScope::kStation, StationRig<CentralStation>()->pollScope);
    setenv("KELVORA_POLL_SCOPE", "Station", 1);
    EXPECT_EQ(PollScope::kGroup, StationRig<CentralStation>()->pollScope);
    unsetenv("KELVORA_POLL_SCOPE");
    EXPECT_EQ(PollScope::kGroup, StationRig<CentralStation>()->pollScope);
    unsetenv("KELVORA_TRACE");

    const std::string text = ReadWholeFile(path);
    EXPECT_NE(std::string::npos, text.find("poll scope: station (one poll time for every site and group), as set"))
        << text;
    EXPECT_NE(std::string::npos, text.find("poll scope: group (one poll time for each site and group): the setting "
                                           "\"Station\" is neither station nor group"))
        << text;
    EXPECT_NE(std::string::npos, text.find("poll scope: group (one poll time for each site and group), the default"))
        << text;
    std::remove(path);
}

}  // namespace
}  // namespace kelvora::testing
