// Keyed stations end to end over the modem simulator: a centre (modem 0,
// COM1) and site 5 (modem 1, COM2) sharing one key file carry a write and a
// report as signed 7-bit messages; a write command sent from the centre's
// own number without the key (the simulator's spoofer), and a signed one with
// a code that does not check, are not applied. The same source runs natively
// on ptys and in the Win32 build under Wine on COM ports.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "hosted_device.h"
#include "platform/secret_file.h"
#include "stations/central_station.h"
#include "stations/remote_station.h"
#include "support/simulator_control.h"

namespace kelvora::testing {
namespace {

constexpr int32_t kTimeoutMs = 3000;
const char kFolder[] = "keys_e2e.d";

class KeysOverSimulator : public ::testing::Test {
protected:
    void SetUp() override {
        const char* centre = std::getenv("KELVORA_MODEM0_NUMBER");
        const char* site = std::getenv("KELVORA_MODEM1_NUMBER");
        ASSERT_TRUE(centre != nullptr && site != nullptr && control.FromEnvironment())
            << "run under kelvora-modemsim --modems 2 --control-tcp";
        centreNumber = centre;
        siteNumber = site;
        std::filesystem::remove_all(kFolder);
        std::filesystem::create_directory(kFolder);
        const std::string key = std::string(kFolder) + "/site5.key";
        std::string text, why;
        ASSERT_TRUE(NewKeyText(centreNumber, siteNumber, &text, &why)) << why;
        ASSERT_TRUE(WriteSecretFile(key, text, false, &why)) << why;
        ASSERT_TRUE(central.station.keys.Load(5, key, &why)) << why;
        ASSERT_TRUE(siteStation.station.keys.Load(0, key, &why)) << why;
        siteStation.deviceAddress = 5;
        std::string error;
        ASSERT_TRUE(central.Open(0, kTimeoutMs, error) && siteStation.Open(1, kTimeoutMs, error)) << error;
        ASSERT_TRUE(central.Write("DETC5", kDataText, Text(siteNumber), error)) << error;
        ASSERT_TRUE(siteStation.Write("DETC", kDataText, Text(centreNumber), error)) << error;
    }
    void TearDown() override {
        central.station.Close(0);
        siteStation.station.Close(0);
        std::filesystem::remove_all(kFolder);
    }
    uint32_t ReadSite(const char* address) {
        RegisterValue value{};
        std::string error;
        EXPECT_TRUE(siteStation.Read(address, kDataInt, value, error)) << error;
        return static_cast<uint32_t>(value.intValue);
    }

    SimulatorControl control;
    std::string centreNumber, siteNumber;
    Device<CentralStation> central;
    Device<RemoteStation> siteStation;
};

TEST_F(KeysOverSimulator, SignedFramesCarryAWriteAndAReportAndForgeriesAreRefused) {
    std::string error;
    ASSERT_TRUE(central.Write("M5.120", kDataInt, Int(42), error)) << error;
    RegisterValue on{};
    on.bitValue = 1;
    ASSERT_TRUE(siteStation.Write("COMFLAG", kDataBit, on, error)) << error;
    EXPECT_EQ(42u, ReadSite("M120"));  // the poll applies the command and reports the group
    RegisterValue value{};
    central.station.image[5][120].value = 0;
    ASSERT_TRUE(central.Read("M5.121", kDataInt, value, error)) << error;
    EXPECT_EQ(42u, central.station.image[5][120].value);  // the signed report, applied

    // The spoofer: from the centre's number, unsigned and signed with a made-up code.
    ASSERT_GT(control.Inject(1, centreNumber, "BEGINWM0512000000999END"), 0) << control.error();
    ASSERT_GT(control.Inject(1, centreNumber,
                             "BEGINWM0512000000999END#7FFFFFFFFFFF#0123456789ABCDEF0123456789ABCDEF"),
              0)
        << control.error();
    SystemClock().Sleep(3000);  // the group's next poll
    EXPECT_EQ(42u, ReadSite("M120"));
    EXPECT_EQ(0, control.StoredCount(1));  // refused, and deleted
}

}  // namespace
}  // namespace kelvora::testing
