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

class WineRoadTest : public DllTest {
protected:
    void SetUp() override {
        DllTest::SetUp();
        ASSERT_EQ(registerServer_(), S_OK);
        ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
        initialised_ = true;
    }
    void TearDown() override {
        if (initialised_) CoUninitialize();
        DllTest::TearDown();
    }

    static IDeviceDriver* Create(const wchar_t* progId) {
        CLSID clsid{};
        if (CLSIDFromProgID(progId, &clsid) != S_OK) return nullptr;
        IDeviceDriver* driver = nullptr;
        CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, kelvora::IID_IDeviceDriver,
                         reinterpret_cast<void**>(&driver));
        return driver;
    }

    bool initialised_ = false;
};

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
