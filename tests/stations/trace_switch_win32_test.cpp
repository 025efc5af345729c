// The trace switch on Windows: the environment first, then the registry's
// "Trace" value under HKCU\Software\Kelvora, then under HKLM\SOFTWARE\Kelvora
// (the 32-bit view), read when a station is created; a host's own trace
// (KELVORA_HOST_TRACE) is added to it.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "platform/trace_system.h"
#include "stations/remote_station.h"
#include "station_fixture.h"
#include "support/file_text.h"

namespace kelvora::testing {
namespace {

void SetTraceValue(HKEY root, const char* key, const char* value) {
    HKEY opened = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(root, key, 0, nullptr, 0, KEY_SET_VALUE | KEY_WOW64_32KEY, nullptr,
                                             &opened, nullptr));
    if (value != nullptr) {
        RegSetValueExA(opened, "Trace", 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                       static_cast<DWORD>(std::strlen(value) + 1));
    } else {
        RegDeleteValueA(opened, "Trace");
    }
    RegCloseKey(opened);
}

TEST(TraceSwitch, TheEnvironmentThenTheUsersThenTheMachinesRegistryValue) {
    const char* path = "trace_switch_win32.trace";
    std::remove(path);
    SetEnvironmentVariableA("KELVORA_TRACE", nullptr);
    SetTraceValue(HKEY_CURRENT_USER, "Software\\Kelvora", nullptr);
    SetTraceValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\Kelvora", "machine.trace");
    EXPECT_EQ("machine.trace", TraceDestinationFromSystem());
    SetTraceValue(HKEY_CURRENT_USER, "Software\\Kelvora", path);
    EXPECT_EQ(path, TraceDestinationFromSystem());
    // A host's own trace goes beside the registry's, not in its place.
    const char* hostPath = "trace_switch_win32_host.trace";
    std::remove(hostPath);
    SetEnvironmentVariableA("KELVORA_HOST_TRACE", hostPath);
    {
        StationRig<RemoteStation> rig;  // reads the switch as it is created
        ASSERT_TRUE(rig->trace.on());
        RegisterRequest flag = Request(kTypeComFlag, 0, 0, 0, kDataBit);
        RegisterValue on{};
        on.bitValue = 1;
        rig->Write(nullptr, &flag, &on);
    }
    SetEnvironmentVariableA("KELVORA_HOST_TRACE", nullptr);
    SetEnvironmentVariableA("KELVORA_TRACE", "environment.trace");
    EXPECT_EQ("environment.trace", TraceDestinationFromSystem());

    SetEnvironmentVariableA("KELVORA_TRACE", nullptr);
    SetTraceValue(HKEY_CURRENT_USER, "Software\\Kelvora", nullptr);
    SetTraceValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\Kelvora", nullptr);
    EXPECT_EQ("", TraceDestinationFromSystem());
    StationRig<RemoteStation> off;
    EXPECT_FALSE(off->trace.on());

    const std::string line = "]  write COMFLAG (bit) = 1: status 0 (OK)";
    for (const char* written : {path, hostPath}) {
        const std::string text = ReadWholeFile(written);
        EXPECT_NE(std::string::npos, text.find("remote - - [" + std::to_string(GetCurrentProcessId()) + line)) << text;
        std::remove(written);
    }
}

}  // namespace
}  // namespace kelvora::testing
