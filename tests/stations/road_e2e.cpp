// The road of one write and one report over the modem simulator's network,
// natively: two virtual modems on ptys, the stations on the real serial
// binding and the real clock.
#include <gtest/gtest.h>

#include <cstdlib>

#include "modemsim/modemsim.h"
#include "road.h"

namespace kelvora::testing {
namespace {

class RoadTest : public ::testing::Test {
protected:
    void SetUp() override {
        modemsim::NetworkOptions options;
        options.modemCount = 3;  // central, site 5, a stranger
        network = std::make_unique<modemsim::Network>(options);
        std::string error;
        ASSERT_TRUE(network->Start(&error)) << error;
        setenv("KELVORA_COM1", network->modem(0).DevicePath().c_str(), 1);
        setenv("KELVORA_COM2", network->modem(1).DevicePath().c_str(), 1);
        setup.centralNumber = network->modem(0).Number();
        setup.siteNumber = network->modem(1).Number();
    }
    void TearDown() override {
        unsetenv("KELVORA_COM1");
        unsetenv("KELVORA_COM2");
        if (network) network->Stop();
    }

    std::unique_ptr<modemsim::Network> network;
    RoadSetup setup;
};

TEST_F(RoadTest, WriteReachesTheSiteAndTheSitesReportReachesTheCentre) {
    // A stranger who knows the site's number tries to write one of its registers.
    ASSERT_GT(network->modem(1).InjectText(network->modem(2).Number(), "BEGINWM0512100000063END"), 0);

    const RoadResult road = RunRoad(setup);
    std::printf("%s\n", DescribeRoad(road).c_str());
    RecordProperty("road_total_ms", static_cast<int>(road.totalMs));
    RecordProperty("road_pause_ms", static_cast<int>(road.pauseMs));
    ASSERT_EQ("", road.error);

    EXPECT_EQ(42u, road.siteSaw120);
    EXPECT_EQ(1, road.sitePolls);
    EXPECT_EQ(1, road.centralPolls);
    const uint32_t expected[5] = {42, kRoadSiteValues[0], kRoadSiteValues[1], kRoadSiteValues[2], kRoadSiteValues[3]};
    // M5.121 shows the site's own 7: the stranger's 0x63 was refused.
    for (int i = 0; i < 5; ++i) EXPECT_EQ(expected[i], road.centralSaw[i]) << "M5." << 120 + i;
    EXPECT_EQ(3, road.pauses);

    // What went over the air: the write command to the site, the report to the centre.
    const auto submitted = network->Submitted();
    ASSERT_EQ(2u, submitted.size());
    EXPECT_EQ("BEGINWM051200000002AEND", submitted[0].decoded.text);
    EXPECT_EQ(1, network->FindModem(submitted[0].decoded.address));
    EXPECT_EQ("BEGINRM051200000002A00000007FFFFFFFF000000020000BEEFEND", submitted[1].decoded.text);
    EXPECT_EQ(0, network->FindModem(submitted[1].decoded.address));
    // Every listed message was deleted at both ends.
    EXPECT_TRUE(network->modem(0).Stored().empty());
    EXPECT_TRUE(network->modem(1).Stored().empty());
}

}  // namespace
}  // namespace kelvora::testing
