// What a host sees of the modem's answers, end to end over the modem
// simulator: a message the network refuses fails the central write at the
// modem's answer, and a late answer waiting on the line does not cost the
// next listing its messages. The same source runs natively on ptys and in the
// Win32 build under Wine on COM ports; both run under kelvora-modemsim with
// --control-tcp, modem 0 behind COM1 (the centre), modem 1 behind COM2.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "hosted_device.h"
#include "platform/clock.h"
#include "stations/central_station.h"
#include "support/simulator_control.h"

namespace kelvora::testing {
namespace {

class AnswersOverSimulator : public ::testing::Test {
protected:
    void SetUp() override {
        const char* site = std::getenv("KELVORA_MODEM1_NUMBER");
        ASSERT_TRUE(site != nullptr && control.FromEnvironment())
            << "run under kelvora-modemsim --modems 2 --control-tcp, modem 0 as COM1";
        siteNumber = site;
        ASSERT_TRUE(control.ClearFaults(0)) << control.error();
    }
    void TearDown() override { central.station.Close(0); }

    uint32_t Elapsed(uint32_t start) { return SystemClock().TickCount() - start; }

    SimulatorControl control;
    std::string siteNumber;
    Device<CentralStation> central;
    std::string error;
};

TEST_F(AnswersOverSimulator, ARefusedMessageFailsTheWriteAtTheModemsAnswer) {
    ASSERT_TRUE(central.Open(0, 10000, error)) << error;
    ASSERT_TRUE(central.Write("DETC5", kDataText, Text(siteNumber), error)) << error;
    ASSERT_TRUE(control.Fault(0, "cms_error", "PDU", 1, ",\"cms_error\":500")) << control.error();

    const uint32_t start = SystemClock().TickCount();
    EXPECT_FALSE(central.Write("M5.120", kDataInt, Int(42), error));
    const uint32_t took = Elapsed(start);
    EXPECT_EQ(kStatusWriteError, central.failedStatus);
    // The 1000 ms pause and the answer; far from the 10 s time-out.
    EXPECT_GE(took, 1000u);
    EXPECT_LT(took, 5000u) << "the write waited for the time-out";

    RegisterValue value{};
    ASSERT_TRUE(central.Read("M5.120", kDataInt, value, error)) << error;
    EXPECT_EQ(0, value.intValue);  // what the site has been told
    EXPECT_EQ(0, control.StoredCount(1));
}

TEST_F(AnswersOverSimulator, ALateAnswerDoesNotCostTheNextListingItsMessages) {
    ASSERT_TRUE(central.Open(0, 1500, error)) << error;
    ASSERT_TRUE(central.Write("DETC5", kDataText, Text(siteNumber), error)) << error;
    ASSERT_GT(control.Inject(0, siteNumber, "BEGINRM0512000000001000000020000000300000004FFFFFFFFEND"), 0)
        << control.error();
    ASSERT_TRUE(control.Fault(0, "delay", "PDU", 1, ",\"delay_ms\":2500")) << control.error();

    EXPECT_FALSE(central.Write("M5.125", kDataInt, Int(9), error));
    EXPECT_EQ(kStatusTimeout, central.failedStatus);
    // The acceptance arrives after the write gave up, and waits on the line.
    uint32_t waiting = 0;
    const uint32_t start = SystemClock().TickCount();
    while (waiting == 0 && Elapsed(start) < 10000) {
        SystemClock().Sleep(50);
        central.station.port->GetInputQueueCount(&waiting);
    }
    ASSERT_GT(waiting, 0u) << "the late answer never came";

    RegisterValue value{};
    ASSERT_TRUE(central.Read("M5.121", kDataInt, value, error)) << error;
    EXPECT_EQ(2, value.intValue);
    EXPECT_EQ(0xFFFFFFFFu, central.station.image[5][124].value);
    EXPECT_EQ(0, control.StoredCount(0));
}

}  // namespace
}  // namespace kelvora::testing
