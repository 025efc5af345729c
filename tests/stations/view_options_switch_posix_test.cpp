// The view's switches on POSIX: KELVORA_HOLD_WRITES and KELVORA_STALE_AFTER,
// read when the central station is created, off unless set, and named in its
// trace with what the settings held.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "stations/central_station.h"
#include "station_fixture.h"
#include "support/file_text.h"

namespace kelvora::testing {
namespace {

TEST(ViewOptionsSwitch, OffUnlessSetAndTheTraceTellsWhatTheSettingsHeld) {
    const char* path = "view_options_switch_posix.trace";
    std::remove(path);
    setenv("KELVORA_TRACE", path, 1);
    const struct {
        const char* hold;
        const char* stale;
        bool holdWrites;
        uint32_t staleAfter;
    } cases[] = {
        {nullptr, nullptr, false, 0}, {"1", "60", true, 60}, {"On", "2592000", true, 2592000},
        {"off", "0", false, 0},       {"maybe", "60s", false, 0}, {"yes", "2592001", true, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.hold ? c.hold : "-") + " " + (c.stale ? c.stale : "-"));
        c.hold ? setenv("KELVORA_HOLD_WRITES", c.hold, 1) : unsetenv("KELVORA_HOLD_WRITES");
        c.stale ? setenv("KELVORA_STALE_AFTER", c.stale, 1) : unsetenv("KELVORA_STALE_AFTER");
        StationRig<CentralStation> rig;
        EXPECT_EQ(c.holdWrites, rig->view.options().holdWrites);
        EXPECT_EQ(c.staleAfter, rig->view.options().staleAfterSeconds);
    }
    unsetenv("KELVORA_HOLD_WRITES");
    unsetenv("KELVORA_STALE_AFTER");
    unsetenv("KELVORA_TRACE");

    const std::string text = ReadWholeFile(path);
    for (const char* line : {"hold writes: off (every report is applied as it comes), the default",
                             "stale after: off (reads answer from the image however old), the default",
                             "hold writes: on (a value the host wrote stands against reports until one shows it, "
                             "one sent 60 s after the write shows another, or 360 s have passed), as set",
                             "stale after: 60 s (a site's reads fail once no report of it has been applied for "
                             "that long, and when their poll failed), as set",
                             "hold writes: off (every report is applied as it comes): the setting \"maybe\" is not on "
                             "or off",
                             "stale after: off (reads answer from the image however old): the setting \"60s\" is not "
                             "a number of seconds up to 2592000"}) {
        EXPECT_NE(std::string::npos, text.find(line)) << line << "\n" << text;
    }
    std::remove(path);
}

}  // namespace
}  // namespace kelvora::testing
