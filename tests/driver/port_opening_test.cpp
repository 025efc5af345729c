// Open and Close of the driver against the scripted port: settings applied at
// opening, adoption of a live device, refused settings, the port-number range,
// and stations sharing one device until its last user lets go.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>

#include "driver/shared_ports.h"
#include "driver/test_driver.h"
#include "support/scripted_port.h"

namespace kelvora {
namespace {

using testing::FakeClock;
using testing::FakeStation;
using testing::ScriptedPort;

using Station = testing::ScriptedStation;

bool Called(const ScriptedPort& port, const std::string& call) {
    return std::find(port.calls.begin(), port.calls.end(), call) != port.calls.end();
}

class PortOpeningTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetSharedPorts();
        line = LineSettings{};
        line.portIndex = 2;
        line.baudCode = 6;
        line.eightDataBits = 1;
        line.twoStopBits = 0;
        line.parityCode = 2;
        line.lineType = 1;
        line.timeout = 500;
        config = PortConfig{};
        config.lineSettings = &line;
        clock.tickStep = 1;  // the RTS hold spins on the tick count
    }
    void TearDown() override { ResetSharedPorts(); }

    FakeClock clock;
    LineSettings line;
    PortConfig config;
};

TEST_F(PortOpeningTest, FreshOpenSetsUpTheLineAndPublishesItsHandles) {
    Station a(clock);
    a.driver().status.SetCode(kStatusReadError);
    EXPECT_EQ(a.driver().Open(&config), 1);
    EXPECT_EQ(a.driver().status.Code(), kStatusReadError);  // left as it was
    const std::vector<std::string> expected = {"Open(\\\\.\\COM3,2048,2048)", "SetLineSettings(9600,8,0,0)",
                                               "SetEventMask(1)", "SetHandshakeMode(2)", "SetReadTimeoutMode(2)"};
    EXPECT_EQ(a.port->calls, expected);
    EXPECT_EQ(config.sharedHandle, a.port->device);
    EXPECT_EQ(sharedEventTable[2], a.port->ioEvent);
    EXPECT_EQ(a.driver().lineType, 1);
    EXPECT_EQ(a.driver().timeoutMs, 500);
}

TEST_F(PortOpeningTest, HostCodesMapToLineSettings) {
    static const uint32_t kRates[] = {110,   300,   600,   1200,  2400,   4800,   9600,  14400,
                                      19200, 38400, 56000, 57600, 115200, 128000, 256000};
    Station a(clock);
    for (uint32_t code = 0; code < 17; ++code) {
        line.baudCode = code == 16 ? 0xFFFFFFFF : code;
        a.port->calls.clear();
        a.driver().Open(&config);
        const uint32_t rate = code < 15 ? kRates[code] : 0xFFFFFFFF;
        EXPECT_TRUE(Called(*a.port, "SetLineSettings(" + std::to_string(rate) + ",8,0,0)")) << code;
        a.driver().Close(0);
        config.sharedHandle = 0;
    }
    line.baudCode = 6;
    const int16_t parityCodes[] = {0, 1, 2, 3, 4, 5, -1};
    const int expectedParity[] = {1, 2, 0, 3, 4, 255, 255};
    for (int i = 0; i < 7; ++i) {
        line.parityCode = parityCodes[i];
        a.port->calls.clear();
        a.driver().Open(&config);
        EXPECT_TRUE(Called(*a.port, "SetLineSettings(9600,8," + std::to_string(expectedParity[i]) + ",0)")) << i;
        a.driver().Close(0);
        config.sharedHandle = 0;
    }
    line.parityCode = 2;
    line.eightDataBits = 0;
    line.twoStopBits = 1;
    line.lineType = -2;
    a.port->calls.clear();
    a.driver().Open(&config);
    EXPECT_TRUE(Called(*a.port, "SetLineSettings(9600,7,0,2)"));
    EXPECT_EQ(a.driver().lineType, -2);  // sign-extended
}

TEST_F(PortOpeningTest, ASecondStationAdoptsTheOpenDevice) {
    Station a(clock), b(clock);
    ASSERT_EQ(a.driver().Open(&config), 1);
    b.driver().status.SetCode(kStatusReadError);
    EXPECT_EQ(b.driver().Open(&config), 1);
    EXPECT_EQ(b.driver().status.Code(), kStatusOk);
    EXPECT_TRUE(b.port->calls.empty());  // nothing opened or set up
    EXPECT_EQ(b.port->device, a.port->device);
    EXPECT_EQ(b.port->ioEvent, a.port->ioEvent);
    EXPECT_EQ(SharedPortAt(2).users, 2u);
}

TEST_F(PortOpeningTest, OpeningAnOpenPortObjectAfreshFails) {
    Station a(clock);
    ASSERT_EQ(a.driver().Open(&config), 1);
    PortConfig other{};
    other.lineSettings = &line;  // sharedHandle 0
    EXPECT_EQ(a.driver().Open(&other), 0);
    EXPECT_EQ(a.driver().status.Code(), kStatusInitFailed);
    EXPECT_EQ(a.port->lastError, kPortAlreadyOpen);
    EXPECT_TRUE(a.port->IsOpen());
    EXPECT_EQ(SharedPortAt(2).users, 1u);
}

TEST_F(PortOpeningTest, RefusedSettingsFailYetPublishTheHandles) {
    Station a(clock), b(clock);
    line.baudCode = 99;
    a.port->lineSettingsResult = 87;
    EXPECT_EQ(a.driver().Open(&config), 0);
    EXPECT_EQ(a.driver().status.Code(), kStatusInitFailed);
    EXPECT_TRUE(a.port->IsOpen());
    EXPECT_TRUE(Called(*a.port, "SetReadTimeoutMode(2)"));  // the rest still applied
    EXPECT_EQ(config.sharedHandle, a.port->device);
    EXPECT_EQ(sharedEventTable[2], a.port->ioEvent);
    EXPECT_EQ(b.driver().Open(&config), 1);
    EXPECT_EQ(b.driver().status.Code(), kStatusOk);
    EXPECT_EQ(b.port->device, a.port->device);
}

TEST_F(PortOpeningTest, MissingDeviceFailsButKeepsLineTypeAndTimeout) {
    Station a(clock);
    a.port->openResult = 2;
    line.lineType = 2;
    line.timeout = 1234;
    EXPECT_EQ(a.driver().Open(&config), 0);
    EXPECT_EQ(a.driver().status.Code(), kStatusInitFailed);
    EXPECT_EQ(a.driver().lineType, 2);
    EXPECT_EQ(a.driver().timeoutMs, 1234);
    EXPECT_EQ(config.sharedHandle, 0u);
    EXPECT_EQ(sharedEventTable[2], 0u);
    EXPECT_EQ(a.driver().Close(0), 1);
}

TEST_F(PortOpeningTest, PortNumbersOutsideTheTableAreRefused) {
    Station a(clock);
    for (int16_t index : {int16_t{-1}, int16_t{64}, int16_t{-32768}}) {
        line.portIndex = index;
        EXPECT_EQ(a.driver().Open(&config), 0) << index;
        EXPECT_EQ(a.driver().status.Code(), kStatusInitFailed);
        EXPECT_TRUE(a.port->calls.empty());
    }
    line.portIndex = 63;
    EXPECT_EQ(a.driver().Open(&config), 1);
    EXPECT_TRUE(Called(*a.port, "Open(\\\\.\\COM64,2048,2048)"));
    a.driver().Close(0);
    config.sharedHandle = 0;
    a.port->calls.clear();
    line.portIndex = 11;
    EXPECT_EQ(a.driver().Open(&config), 1);
    EXPECT_TRUE(Called(*a.port, "Open(\\\\.\\COM12,2048,2048)"));
    EXPECT_EQ(sharedEventTable[11], a.port->ioEvent);
}

TEST_F(PortOpeningTest, AStaleHandleIsNotAdopted) {
    Station a(clock), b(clock);
    ASSERT_EQ(a.driver().Open(&config), 1);
    const uint32_t stale = config.sharedHandle;
    a.driver().Close(0);
    EXPECT_EQ(sharedEventTable[2], 0u);
    // The host kept the old handle: the device behind it is gone.
    EXPECT_EQ(b.driver().Open(&config), 1);
    EXPECT_TRUE(Called(*b.port, "Open(\\\\.\\COM3,2048,2048)"));
    EXPECT_NE(config.sharedHandle, stale);
    EXPECT_EQ(config.sharedHandle, b.port->device);
}

TEST_F(PortOpeningTest, AHandleOfAnotherPortIsNotAdopted) {
    Station a(clock), b(clock);
    ASSERT_EQ(a.driver().Open(&config), 1);
    LineSettings otherLine = line;
    otherLine.portIndex = 5;
    PortConfig other{};
    other.lineSettings = &otherLine;
    other.sharedHandle = config.sharedHandle;  // of COM3
    EXPECT_EQ(b.driver().Open(&other), 1);
    EXPECT_TRUE(Called(*b.port, "Open(\\\\.\\COM6,2048,2048)"));
    EXPECT_NE(b.port->device, a.port->device);
    EXPECT_EQ(other.sharedHandle, b.port->device);
    EXPECT_EQ(SharedPortAt(2).users, 1u);
    EXPECT_EQ(SharedPortAt(5).users, 1u);
}

TEST_F(PortOpeningTest, AFreshOpenOfAPortInUseIsRefused) {
    Station a(clock), b(clock);
    ASSERT_EQ(a.driver().Open(&config), 1);
    PortConfig lost{};
    lost.lineSettings = &line;  // the host cleared its handle
    EXPECT_EQ(b.driver().Open(&lost), 0);
    EXPECT_EQ(b.driver().status.Code(), kStatusInitFailed);
    EXPECT_FALSE(b.port->IsOpen());
    EXPECT_EQ(sharedEventTable[2], a.port->ioEvent);
    EXPECT_EQ(SharedPortAt(2).users, 1u);
}

TEST_F(PortOpeningTest, ARefusedFreshOpenNeverReachesTheLiveDevice) {
    // Where the platform lets a second opening through, opening would put the
    // defaults on the device the other station uses and purge its input.
    Station a(clock), b(clock);
    ASSERT_EQ(a.driver().Open(&config), 1);
    PortConfig lost{};
    lost.lineSettings = &line;
    EXPECT_EQ(b.driver().Open(&lost), 0);
    EXPECT_TRUE(b.port->calls.empty());
    EXPECT_EQ(lost.sharedHandle, 0u);
}

TEST_F(PortOpeningTest, TwoStationsOnOnePortCloseTheDeviceOnlyOnce) {
    Station a(clock), b(clock);
    ASSERT_EQ(a.driver().Open(&config), 1);
    ASSERT_EQ(b.driver().Open(&config), 1);
    const PlatformHandle device = a.port->device;

    a.port->calls.clear();
    EXPECT_EQ(a.driver().Close(0), 1);
    EXPECT_FALSE(a.port->IsOpen());
    EXPECT_TRUE(a.port->calls.empty());  // detached: the shared device is untouched
    EXPECT_EQ(b.port->device, device);
    EXPECT_EQ(SharedPortAt(2).users, 1u);

    // The remaining station still talks on the line.
    b.port->onWrite = [](ScriptedPort& p, const std::string&) { p.Arrive("OK"); };
    std::string buffer = "AT";
    uint32_t count = 2;
    EXPECT_EQ(b.driver().ExchangePolled(buffer, count), 1);
    EXPECT_EQ(buffer, "OK");

    // A's port object must not reach the device any more.
    EXPECT_EQ(a.driver().ExchangePolled(buffer, count), 0);
    EXPECT_EQ(a.driver().status.Code(), kStatusWriteError);

    EXPECT_EQ(b.driver().Close(0), 1);
    EXPECT_TRUE(Called(*b.port, "SetEventMask(4294967295)"));
    EXPECT_TRUE(Called(*b.port, "Close"));
    EXPECT_EQ(SharedPortAt(2).users, 0u);
    EXPECT_EQ(sharedEventTable[2], 0u);
}

TEST_F(PortOpeningTest, DestroyingOneSharingStationLeavesTheDeviceToTheOther) {
    Station b(clock);
    {
        Station a(clock);
        ASSERT_EQ(a.driver().Open(&config), 1);
        ASSERT_EQ(b.driver().Open(&config), 1);
    }
    EXPECT_TRUE(b.port->IsOpen());
    EXPECT_EQ(SharedPortAt(2).users, 1u);
    EXPECT_EQ(sharedEventTable[2], b.port->ioEvent);
    b.object.reset();  // the last user: the device goes with it
    EXPECT_EQ(SharedPortAt(2).users, 0u);
    EXPECT_EQ(sharedEventTable[2], 0u);
}

TEST_F(PortOpeningTest, OpeningTheSameConfigTwiceCountsOneUser) {
    Station a(clock);
    ASSERT_EQ(a.driver().Open(&config), 1);
    EXPECT_EQ(a.driver().Open(&config), 1);
    EXPECT_EQ(a.driver().status.Code(), kStatusOk);
    EXPECT_EQ(SharedPortAt(2).users, 1u);
    a.driver().Close(0);
    EXPECT_TRUE(Called(*a.port, "Close"));
    EXPECT_EQ(SharedPortAt(2).users, 0u);
}

TEST_F(PortOpeningTest, CloseReturnsOneAndClearsTheStatus) {
    Station a(clock);
    a.driver().status.SetCode(kStatusReadError);
    EXPECT_EQ(a.driver().Close(12345), 1);  // never opened
    EXPECT_EQ(a.driver().status.Code(), kStatusOk);
    ASSERT_EQ(a.driver().Open(&config), 1);
    a.driver().status.SetCode(kStatusWriteError);
    EXPECT_EQ(a.driver().Close(-1), 1);
    EXPECT_EQ(a.driver().status.Code(), kStatusOk);
    EXPECT_FALSE(a.port->IsOpen());
    // Closed, it can be opened again.
    config.sharedHandle = 0;
    EXPECT_EQ(a.driver().Open(&config), 1);
}

TEST_F(PortOpeningTest, OpenWithoutAPortOrSettingsFails) {
    FakeStation bare;
    EXPECT_EQ(bare.driver.Open(&config), 0);
    EXPECT_EQ(bare.driver.status.Code(), kStatusInitFailed);
    EXPECT_EQ(bare.driver.Open(nullptr), 0);
    PortConfig empty{};
    EXPECT_EQ(bare.driver.Open(&empty), 0);
    EXPECT_EQ(bare.driver.Close(0), 1);
}

}  // namespace
}  // namespace kelvora
