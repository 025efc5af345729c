// The telemetry road under Wine: Kelvora.dll registered, its two stations
// created through COM by ProgID from an STA, their ports the COM ports that
// the simulator linked to its modems. Run inside kelvora-modemsim, which
// names the modems in KELVORA_MODEM<i>_COM and KELVORA_MODEM<i>_NUMBER.
#include "dll_fixture.h"

#include <objbase.h>

#include <cstdlib>

#include "telemetry_road.h"

namespace kelvora::dlltest {
namespace {

std::string Environment(const std::string& name) {
    const char* value = std::getenv(name.c_str());
    return value != nullptr ? value : "";
}

using WineRoadTest = RegisteredStaTest;

TEST_F(WineRoadTest, WriteAtTheCentreReportBackFromTheSite) {
    const std::string centralCom = Environment("KELVORA_MODEM0_COM");
    const std::string remoteCom = Environment("KELVORA_MODEM1_COM");
    ASSERT_FALSE(centralCom.empty() || remoteCom.empty()) << "run inside kelvora-modemsim --modems 2 --wine-prefix";

    road::HostDevice central(Create(L"Kelvora.SMSClient"), std::atoi(centralCom.c_str()));
    road::HostDevice remote(Create(L"Kelvora.SMSServer"), std::atoi(remoteCom.c_str()));
    ASSERT_NE(central.driver, nullptr);
    ASSERT_NE(remote.driver, nullptr);

    road::DriveTheRoad(central, remote, Environment("KELVORA_MODEM0_NUMBER"), Environment("KELVORA_MODEM1_NUMBER"));

    EXPECT_EQ(canUnloadNow_(), S_FALSE);
    EXPECT_EQ(central.driver->Release(), 0u);
    EXPECT_EQ(remote.driver->Release(), 0u);
    EXPECT_EQ(canUnloadNow_(), S_OK);
}

}  // namespace
}  // namespace kelvora::dlltest
