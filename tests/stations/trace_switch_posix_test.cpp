// The trace switch on POSIX: KELVORA_TRACE, read when a station is created,
// and a host's own trace (KELVORA_HOST_TRACE) beside it.
#include <unistd.h>

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
    const char* hostPath = "trace_switch_posix_host.trace";
    std::remove(path);
    std::remove(hostPath);
    setenv("KELVORA_TRACE", path, 1);
    setenv("KELVORA_HOST_TRACE", hostPath, 1);
    {
        StationRig<RemoteStation> rig;
        ASSERT_TRUE(rig->trace.on());
        RegisterRequest flag = Request(kTypeComFlag, 0, 0, 0, kDataBit);
        RegisterValue on{};
        on.bitValue = 1;
        rig->Write(nullptr, &flag, &on);
    }
    unsetenv("KELVORA_TRACE");
    unsetenv("KELVORA_HOST_TRACE");
    StationRig<RemoteStation> off;
    EXPECT_FALSE(off->trace.on());

    const std::string line = "]  write COMFLAG (bit) = 1: status 0 (OK)";
    for (const char* written : {path, hostPath}) {
        const std::string text = ReadWholeFile(written);
        EXPECT_NE(std::string::npos, text.find("remote - - [" + std::to_string(getpid()) + line)) << text;
        std::remove(written);
    }
}

}  // namespace
}  // namespace kelvora::testing
