// Nothing left behind in the modem, end to end over the modem simulator
// paced at 9600 baud: the simulator marks what it lists as read, as real
// modems do. A site's remote station (modem 1, COM2) polls a store of 130
// write commands, a listing cut off, a delete refused once, a late answer
// waiting before a listing, and a modem that falls silent (or only echoes); each time every
// message is applied exactly once (seen in the station's image, with the
// host's own writes in between) and the simulator's store ends empty. The
// same source runs natively and under Wine, under kelvora-modemsim with
// --control-tcp.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "hosted_device.h"
#include "site5_command.h"
#include "platform/clock.h"
#include "stations/remote_station.h"
#include "support/simulator_control.h"

namespace kelvora::testing {
namespace {

constexpr int kSiteModem = 1;
constexpr int32_t kTimeoutMs = 1500;

class MailboxOverSimulator : public ::testing::Test {
protected:
    void SetUp() override {
        const char* centre = std::getenv("KELVORA_MODEM0_NUMBER");
        ASSERT_TRUE(centre != nullptr && control.FromEnvironment())
            << "run under kelvora-modemsim --modems 2 --control-tcp, modem 1 as COM2";
        centreNumber = centre;
        ASSERT_TRUE(control.ClearFaults(kSiteModem) && control.Request("{\"cmd\":\"clear_store\",\"modem\":1}") &&
                    control.Baud(9600))
            << control.error();
        ASSERT_TRUE(site.Open(1, kTimeoutMs, error)) << error;
        ASSERT_EQ(1, site.station.ParseDeviceAddress("5", &site.deviceAddress));
        ASSERT_TRUE(site.Write("DETC", kDataText, Text(centreNumber), error)) << error;
    }
    void TearDown() override { site.station.Close(0); }

    void Store(int address, uint32_t value) {
        ASSERT_GT(control.Inject(kSiteModem, centreNumber, Site5Command(address, value)), 0) << control.error();
    }
    // A read of a register whose group was not polled yet: one poll.
    uint32_t Poll(int address) {
        RegisterValue value{};
        const std::string text = "M" + std::to_string(address);
        EXPECT_TRUE(site.Read(text.c_str(), kDataInt, value, error)) << error;
        return static_cast<uint32_t>(value.intValue);
    }
    uint32_t Image(int address) { return site.station.image[static_cast<size_t>(address)].value; }
    void Set(int address, uint32_t value) { site.station.image[static_cast<size_t>(address)].value = value; }

    SimulatorControl control;
    std::string centreNumber;
    Device<RemoteStation> site;
    std::string error;
};

TEST_F(MailboxOverSimulator, AStoreOf130IsEmptyAfterTwoPolls) {
    ASSERT_TRUE(control.Request("{\"cmd\":\"capacity\",\"modem\":1,\"capacity\":200}")) << control.error();
    for (int i = 0; i < 130; ++i) Store(i, static_cast<uint32_t>(i) + 1);
    Poll(500);
    Poll(505);
    EXPECT_EQ(0, control.StoredCount(kSiteModem));
    for (int i = 0; i < 130; ++i) ASSERT_EQ(static_cast<uint32_t>(i) + 1, Image(i)) << "M" << i;
}

TEST_F(MailboxOverSimulator, ACutOffListingLosesNothing) {
    for (int i = 0; i < 3; ++i) Store(200 + i, 7);
    // Both listings of the poll are cut; only the second names messages. The
    // poll stops there: the one message taken is deleted at the next.
    ASSERT_TRUE(control.Fault(kSiteModem, "cut_off", "AT+CMGL", 2, ",\"keep_bytes\":250")) << control.error();
    Poll(500);
    EXPECT_EQ(7u, Image(200));
    EXPECT_EQ(0u, Image(202));
    EXPECT_EQ(3, control.StoredCount(kSiteModem));
    Poll(505);
    EXPECT_EQ(7u, Image(202));
    EXPECT_EQ(0, control.StoredCount(kSiteModem));
}

TEST_F(MailboxOverSimulator, ARefusedDeleteAppliesOnceAndDeletesAtTheNextPoll) {
    Store(120, 1);
    Store(121, 2);
    ASSERT_TRUE(control.Fault(kSiteModem, "cms_error", "AT+CMGD", 1)) << control.error();
    Poll(500);
    EXPECT_EQ(1u, Image(120));
    EXPECT_EQ(1, control.StoredCount(kSiteModem));
    Set(120, 5);  // the site's host writes after the command
    Poll(505);
    EXPECT_EQ(5u, Image(120));
    EXPECT_EQ(0, control.StoredCount(kSiteModem));
}

TEST_F(MailboxOverSimulator, ALateAnswerToASendCostsNoMessage) {
    RegisterValue on{};
    on.bitValue = 1;
    ASSERT_TRUE(site.Write("COMFLAG", kDataBit, on, error)) << error;
    ASSERT_TRUE(control.Fault(kSiteModem, "delay", "PDU", 1, ",\"delay_ms\":2500")) << control.error();
    Poll(500);  // its report is not answered in time
    Store(121, 3);
    uint32_t waiting = 0;
    const uint32_t start = SystemClock().TickCount();
    while (waiting == 0 && SystemClock().TickCount() - start < 10000) {
        SystemClock().Sleep(50);
        site.station.port->GetInputQueueCount(&waiting);
    }
    ASSERT_GT(waiting, 0u) << "the late answer never came";
    RegisterValue off{};
    ASSERT_TRUE(site.Write("COMFLAG", kDataBit, off, error)) << error;
    Poll(505);
    EXPECT_EQ(3u, Image(121));
    EXPECT_EQ(0, control.StoredCount(kSiteModem));
}

TEST_F(MailboxOverSimulator, AModemFallingSilentHoldsTheReadForOneTimeOut) {
    for (int i = 0; i < 3; ++i) Store(120 + i, 9);
    ASSERT_TRUE(control.Fault(kSiteModem, "silence", "AT+CMGD", -1)) << control.error();
    const uint32_t start = SystemClock().TickCount();
    Poll(500);
    const uint32_t took = SystemClock().TickCount() - start;
    EXPECT_LT(took, 2u * kTimeoutMs + 1000u) << "each delete waited for its own time-out";
    EXPECT_EQ(9u, Image(122));

    ASSERT_TRUE(control.ClearFaults(kSiteModem)) << control.error();
    Set(120, 1);
    Poll(505);
    EXPECT_EQ(1u, Image(120));  // deleted, not applied again
    EXPECT_EQ(0, control.StoredCount(kSiteModem));
}

TEST_F(MailboxOverSimulator, AModemThatEchoesAndHangsHoldsTheReadForOneTimeOut) {
    for (int i = 0; i < 3; ++i) Store(120 + i, 9);
    ASSERT_TRUE(control.Fault(kSiteModem, "silence", "AT+CMGD", -1, ",\"echo\":true")) << control.error();
    const uint32_t start = SystemClock().TickCount();
    Poll(500);
    const uint32_t took = SystemClock().TickCount() - start;
    RecordProperty("read_ms", static_cast<int>(took));
    EXPECT_LT(took, 2u * kTimeoutMs) << "each echoed delete waited for its own time-out";
    EXPECT_EQ(9u, Image(122));
}

}  // namespace
}  // namespace kelvora::testing
