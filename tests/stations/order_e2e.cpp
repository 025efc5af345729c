// The value sent last wins, end to end over the modem simulator, whose
// network holds messages back so that later ones overtake them and delivers
// some twice: a site never applies a write command sent before one it
// applied to the same register, the centre never applies a report sent
// before one it applied for the same group, and a second copy is never
// applied (the hosts' own writes in between show it). The centre is modem 0
// (COM1), the site modem 1 (COM2). The same source runs natively and under
// Wine, under kelvora-modemsim with --control-tcp.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "hosted_device.h"
#include "platform/clock.h"
#include "stations/central_station.h"
#include "stations/remote_station.h"
#include "support/simulator_control.h"

namespace kelvora::testing {
namespace {

constexpr int kCentreModem = 0;
constexpr int kSiteModem = 1;
constexpr int32_t kTimeoutMs = 1500;

class OrderOverSimulator : public ::testing::Test {
protected:
    void SetUp() override {
        const char* centre = std::getenv("KELVORA_MODEM0_NUMBER");
        const char* site = std::getenv("KELVORA_MODEM1_NUMBER");
        ASSERT_TRUE(centre != nullptr && site != nullptr && control.FromEnvironment())
            << "run under kelvora-modemsim --modems 2 --control-tcp, modem 0 as COM1";
        for (int modem : {kCentreModem, kSiteModem}) {
            ASSERT_TRUE(control.ClearFaults(modem) && Network("clear_store", modem) &&
                        Network("hold_back", modem, 0) && Network("deliver_twice", modem, 0))
                << control.error();
        }
        ASSERT_TRUE(central.Open(0, kTimeoutMs, error) && siteStation.Open(1, kTimeoutMs, error)) << error;
        ASSERT_EQ(1, siteStation.station.ParseDeviceAddress("5", &siteStation.deviceAddress));
        ASSERT_TRUE(central.Write("DETC5", kDataText, Text(site), error)) << error;
        ASSERT_TRUE(siteStation.Write("DETC", kDataText, Text(centre), error)) << error;
    }
    void TearDown() override {
        central.station.Close(0);
        siteStation.station.Close(0);
    }

    // A request to the simulator about one modem ("times" for the network's faults).
    bool Network(const char* cmd, int modem, int times = -1, int overtakenBy = 1) {
        std::string request = std::string("{\"cmd\":\"") + cmd + "\",\"modem\":" + std::to_string(modem);
        if (times >= 0) {
            request += ",\"times\":" + std::to_string(times) + ",\"overtaken_by\":" + std::to_string(overtakenBy);
        }
        return control.Request(request + "}");
    }
    uint32_t Read(Device<CentralStation>& d, const std::string& address) { return ReadIn(d, address); }
    uint32_t Read(Device<RemoteStation>& d, const std::string& address) { return ReadIn(d, address); }
    template <class Station>
    uint32_t ReadIn(Device<Station>& d, const std::string& address) {
        RegisterValue value{};
        EXPECT_TRUE(d.Read(address.c_str(), kDataInt, value, error)) << error;
        return static_cast<uint32_t>(value.intValue);
    }
    void Write(Device<CentralStation>& d, const std::string& address, uint32_t value) {
        ASSERT_TRUE(d.Write(address.c_str(), kDataInt, Int(value), error)) << error;
    }
    void WriteAtSite(const std::string& address, uint32_t value) {
        ASSERT_TRUE(siteStation.Write(address.c_str(), kDataInt, Int(value), error)) << error;
    }
    uint32_t SiteImage(int address) { return siteStation.station.image[static_cast<size_t>(address)].value; }
    uint32_t CentreImage(int address) { return central.station.image[5][static_cast<size_t>(address)].value; }

    SimulatorControl control;
    Device<CentralStation> central;
    Device<RemoteStation> siteStation;
    std::string error;
};

TEST_F(OrderOverSimulator, TheSiteKeepsTheCommandSentLastAndAppliesACopyNever) {
    ASSERT_TRUE(Network("hold_back", kCentreModem, 1, 2)) << control.error();
    Write(central, "M5.120", 1);  // held back until two later ones have arrived
    Write(central, "M5.120", 2);
    EXPECT_EQ(2u, Read(siteStation, "M120"));

    ASSERT_TRUE(Network("deliver_twice", kCentreModem, 1, 1)) << control.error();
    Write(central, "M5.125", 5);  // the held 1 arrives after it; a copy of it follows the next
    Read(siteStation, "M125");
    EXPECT_EQ(2u, SiteImage(120));
    EXPECT_EQ(5u, SiteImage(125));

    WriteAtSite("M125", 9);  // the site's host
    Write(central, "M5.130", 6);
    Read(siteStation, "M130");
    EXPECT_EQ(6u, SiteImage(130));
    EXPECT_EQ(9u, SiteImage(125));
    EXPECT_EQ(0, control.StoredCount(kSiteModem));
}

TEST_F(OrderOverSimulator, TheCentreKeepsTheReportSentLastAndAppliesACopyNever) {
    RegisterValue on{};
    on.bitValue = 1;
    ASSERT_TRUE(siteStation.Write("COMFLAG", kDataBit, on, error)) << error;
    WriteAtSite("M120", 1);
    ASSERT_TRUE(Network("hold_back", kSiteModem, 1, 2)) << control.error();
    Read(siteStation, "M120");  // its report is held back
    WriteAtSite("M120", 2);
    SystemClock().Sleep(kPollIntervalMs + 100);
    Read(siteStation, "M120");
    EXPECT_EQ(2u, Read(central, "M5.120"));

    ASSERT_TRUE(Network("deliver_twice", kSiteModem, 1, 1)) << control.error();
    Read(siteStation, "M125");  // the held report arrives after this one; a copy of this one follows the next
    Read(central, "M5.125");
    EXPECT_EQ(2u, CentreImage(120));

    Write(central, "M5.125", 7);  // the centre's host
    Read(siteStation, "M130");
    Read(central, "M5.130");
    EXPECT_EQ(7u, CentreImage(125));
    EXPECT_EQ(2u, CentreImage(120));
    EXPECT_EQ(0, control.StoredCount(kCentreModem));
}

}  // namespace
}  // namespace kelvora::testing
