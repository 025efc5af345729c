// The poll scope switch on Windows: the environment first, then the
// registry's "PollScope" value under HKCU\Software\Kelvora, then under
// HKLM\SOFTWARE\Kelvora (the 32-bit view), read when the central station is
// created.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>

#include "stations/central_station.h"
#include "station_fixture.h"

namespace kelvora::testing {
namespace {

void SetPollScopeValue(HKEY root, const char* key, const char* value) {
    HKEY opened = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(root, key, 0, nullptr, 0, KEY_SET_VALUE | KEY_WOW64_32KEY, nullptr,
                                             &opened, nullptr));
    if (value != nullptr) {
        RegSetValueExA(opened, "PollScope", 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                       static_cast<DWORD>(std::strlen(value) + 1));
    } else {
        RegDeleteValueA(opened, "PollScope");
    }
    RegCloseKey(opened);
}

PollScope ScopeOfANewStation() { return StationRig<CentralStation>()->pollScope; }

TEST(PollScopeSwitch, TheEnvironmentThenTheUsersThenTheMachinesRegistryValue) {
    SetEnvironmentVariableA("KELVORA_POLL_SCOPE", nullptr);
    SetPollScopeValue(HKEY_CURRENT_USER, "Software\\Kelvora", nullptr);
    SetPollScopeValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\Kelvora", "station");
    EXPECT_EQ(PollScope::kStation, ScopeOfANewStation());
    SetPollScopeValue(HKEY_CURRENT_USER, "Software\\Kelvora", "group");
    EXPECT_EQ(PollScope::kGroup, ScopeOfANewStation());
    SetEnvironmentVariableA("KELVORA_POLL_SCOPE", "station");
    EXPECT_EQ(PollScope::kStation, ScopeOfANewStation());

    SetEnvironmentVariableA("KELVORA_POLL_SCOPE", nullptr);
    SetPollScopeValue(HKEY_CURRENT_USER, "Software\\Kelvora", nullptr);
    SetPollScopeValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\Kelvora", nullptr);
    EXPECT_EQ(PollScope::kGroup, ScopeOfANewStation());
}

}  // namespace
}  // namespace kelvora::testing
