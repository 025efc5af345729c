// The trace switch on POSIX: KELVORA_TRACE, read when a station is created.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/trace_system.h"
#include "stations/remote_station.h"
#include "station_fixture.h"
#include "support/file_text.h"

namespace kelvora::testing {
namespace {

TEST(TraceSwitch, TheEnvironmentNamesTheDestination) {
    const char* path = "trace_switch_posix.trace";
    std::remove(path);
    setenv("KELVORA_TRACE", path, 1);
    {
        StationRig<RemoteStation> rig;
        ASSERT_TRUE(rig->trace.on());
        RegisterRequest flag = Request(kTypeComFlag, 0, 0, 0, kDataBit);
        RegisterValue on{};
        on.bitValue = 1;
        rig->Write(nullptr, &flag, &on);
    }
    unsetenv("KELVORA_TRACE");
    StationRig<RemoteStation> off;
    EXPECT_FALSE(off->trace.on());

    const std::string text = ReadWholeFile(path);
    EXPECT_NE(std::string::npos, text.find("remote - -  write COMFLAG (bit) = 1: status 0 (OK)")) << text;
    std::remove(path);
}

}  // namespace
}  // namespace kelvora::testing
