// A line that goes away and comes back, end to end over the modem simulator:
// its modem unplugged (the device gone for a while, then a new one at the
// same path, the modem restarted) and its line hung up (a new one at once).
// The host keeps its station open throughout and never opens it again. The
// same source runs natively on ptys and in the Win32 build under Wine on a
// COM port whose target goes away; both under kelvora-modemsim with
// --control-tcp, modem 0 behind COM1 (the centre), modem 1 behind COM2.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "driver/line_keeper.h"
#include "hosted_device.h"
#include "platform/clock.h"
#include "stations/central_station.h"
#include "support/simulator_control.h"

namespace kelvora::testing {
namespace {

constexpr uint32_t kAwayMs = 3000;
constexpr uint32_t kBootMs = 500;

class LineOverSimulator : public ::testing::Test {
protected:
    void SetUp() override {
        const char* site = std::getenv("KELVORA_MODEM1_NUMBER");
        ASSERT_TRUE(site != nullptr && control.FromEnvironment())
            << "run under kelvora-modemsim --modems 2 --control-tcp, modem 0 as COM1";
        siteNumber = site;
        ASSERT_TRUE(central.Open(0, 3000, error)) << error;
        ASSERT_TRUE(central.Write("DETC5", kDataText, Text(siteNumber), error)) << error;
    }
    void TearDown() override { central.station.Close(0); }

    uint32_t Now() { return SystemClock().TickCount(); }
    int32_t ReadInt(const char* address) {
        RegisterValue value{};
        EXPECT_TRUE(central.Read(address, kDataInt, value, error)) << error;
        return value.intValue;
    }

    SimulatorControl control;
    std::string siteNumber;
    Device<CentralStation> central;
    std::string error;
};

TEST_F(LineOverSimulator, AnUnpluggedModemIsFoundAgainAndWhatArrivedMeanwhileIsRead) {
    EXPECT_EQ(0, ReadInt("M5.120"));  // a poll on the line as it was
    const uint32_t unplugged = Now();
    ASSERT_TRUE(control.Request("{\"cmd\":\"unplug\",\"modem\":0,\"away_ms\":" + std::to_string(kAwayMs) +
                                ",\"boot_ms\":" + std::to_string(kBootMs) + "}"))
        << control.error();
    ASSERT_GT(control.Inject(0, siteNumber, "BEGINRM0512000000007000000070000000700000007FFFFFFFFEND"), 0)
        << control.error();

    // The next poll finds the line gone: the read answers from the image,
    // without waiting for the time-out; a write fails at once.
    uint32_t start = Now();
    EXPECT_EQ(0, ReadInt("M5.125"));
    EXPECT_LT(Now() - start, 2500u) << "the read waited for the modem";
    start = Now();
    EXPECT_FALSE(central.Write("M5.130", kDataInt, Int(3), error));
    EXPECT_EQ(kStatusWriteError, central.failedStatus);
    EXPECT_LT(Now() - start, 500u) << "the write waited for the modem";

    // The host goes on reading; once the device is back, a reopen and a
    // poll bring the report in.
    int32_t value = 0;
    while (value != 7 && Now() - unplugged < kAwayMs + kReopenSpacingMs + 8000) {
        SystemClock().Sleep(250);
        value = ReadInt("M5.120");
    }
    const uint32_t took = Now() - unplugged;
    ASSERT_EQ(7, value) << "no values " << took << " ms after the unplug";
    EXPECT_LT(took, kAwayMs + kReopenSpacingMs + 3000) << "back later than a reopen spacing and a poll";
    EXPECT_EQ(0, control.StoredCount(0));
    const int stored = control.StoredCount(1);
    EXPECT_TRUE(central.Write("M5.130", kDataInt, Int(3), error)) << error;
    EXPECT_EQ(stored + 1, control.StoredCount(1));
}

TEST_F(LineOverSimulator, AHungUpLineCostsAtMostOneOperation) {
    const int stored = control.StoredCount(1);
    ASSERT_TRUE(control.Request("{\"cmd\":\"hang_up\",\"modem\":0}")) << control.error();
    // Where the platform tells of the hang-up before anything is written,
    // the line is reopened within the first write; else that write fails
    // as not sent, and the next one reopens it.
    const bool first = central.Write("M5.120", kDataInt, Int(1), error);
    if (!first) {
        EXPECT_EQ(kStatusWriteError, central.failedStatus);
    }
    EXPECT_TRUE(central.Write("M5.121", kDataInt, Int(2), error)) << error;
    EXPECT_EQ(stored + (first ? 2 : 1), control.StoredCount(1));
}

}  // namespace
}  // namespace kelvora::testing
