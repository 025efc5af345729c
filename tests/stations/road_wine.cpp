// The road of one write and one report in the Win32 build under Wine: the
// modem simulator runs natively and its ptys stand behind the prefix's COM1
// (central) and COM2 (site 5); tests/support/with_simulator_wine.sh sets that
// up and names the two modems' numbers in KELVORA_MODEM0_NUMBER and
// KELVORA_MODEM1_NUMBER.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "road.h"

namespace kelvora::testing {
namespace {

TEST(RoadOverComPorts, WriteReachesTheSiteAndTheSitesReportReachesTheCentre) {
    const char* central = std::getenv("KELVORA_MODEM0_NUMBER");
    const char* site = std::getenv("KELVORA_MODEM1_NUMBER");
    ASSERT_TRUE(central != nullptr && site != nullptr)
        << "run through with_simulator_wine.sh with COM base 1, which starts the modem simulator behind COM1 and "
           "COM2";

    RoadSetup setup;
    setup.centralNumber = central;
    setup.siteNumber = site;
    const RoadResult road = RunRoad(setup);
    std::printf("%s\n", DescribeRoad(road).c_str());
    ASSERT_EQ("", road.error);

    EXPECT_EQ(42u, road.siteSaw120);
    const uint32_t expected[5] = {42, kRoadSiteValues[0], kRoadSiteValues[1], kRoadSiteValues[2], kRoadSiteValues[3]};
    for (int i = 0; i < 5; ++i) EXPECT_EQ(expected[i], road.centralSaw[i]) << "M5." << 120 + i;
    EXPECT_EQ(3, road.pauses);
}

}  // namespace
}  // namespace kelvora::testing
