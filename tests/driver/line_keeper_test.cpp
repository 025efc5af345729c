// A line that goes away, on the scripted port and the fake clock: every
// failure of a transfer but the time-out breaks the line and closes its
// device; the next exchange reopens it with the host's settings, at most once
// every 5 s; every station on the port goes on with the device that is live
// now, and a station the host closed is never reopened.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "driver/line_keeper.h"
#include "driver/shared_ports.h"
#include "driver/test_driver.h"
#include "platform/trace_sink.h"
#include "support/file_text.h"
#include "support/scripted_port.h"

namespace kelvora {
namespace {

using testing::FakeClock;
using testing::ScriptedPort;

// A station whose modem answers "OK" to everything.
struct Station : testing::ScriptedStation {
    explicit Station(FakeClock& clock) : ScriptedStation(clock) {
        port->onWrite = [](ScriptedPort& p, const std::string&) { p.Arrive("OK"); };
    }
    // One exchange: 1 when "OK" came back.
    int32_t Exchange() {
        std::string buffer = "AT";
        uint32_t count = 2;
        return driver().ExchangePolled(buffer, count) == 1 && buffer == "OK" ? 1 : 0;
    }
    int Opens() const {
        return static_cast<int>(std::count_if(port->calls.begin(), port->calls.end(),
                                              [](const std::string& c) { return c.rfind("Open(", 0) == 0; }));
    }
};

class LineKeeperTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetSharedPorts();
        line = LineSettings{};
        line.portIndex = 2;
        line.baudCode = 12;  // 115200
        line.eightDataBits = 0;
        line.twoStopBits = 1;
        line.parityCode = 1;  // even
        line.timeout = 100;
        config = PortConfig{};
        config.lineSettings = &line;
    }
    void TearDown() override { ResetSharedPorts(); }

    FakeClock clock;
    LineSettings line;
    PortConfig config;
};

const std::vector<std::string> kReopened = {"Open(\\\\.\\COM3,2048,2048)", "SetLineSettings(115200,7,2,2)",
                                            "SetEventMask(1)", "SetHandshakeMode(2)", "SetReadTimeoutMode(2)"};

TEST_F(LineKeeperTest, EveryFailureButTheTimeOutBreaksTheLineAndTheNextExchangeReopensIt) {
    // POSIX: EIO, ENXIO, EBADF, ENODEV; Windows: a removed device's
    // ERROR_ACCESS_DENIED, ERROR_GEN_FAILURE, ERROR_BAD_COMMAND,
    // ERROR_OPERATION_ABORTED, ERROR_DEVICE_REMOVED, and Wine's for a pty
    // gone: ERROR_NOT_READY, ERROR_BROKEN_PIPE.
    const uint32_t codes[] = {5, 6, 9, 19, 31, 22, 995, 1617, 21, 109};
    enum Where { kWrite, kRead, kQueueCount };
    for (uint32_t code : codes) {
        for (Where where : {kWrite, kRead, kQueueCount}) {
            SCOPED_TRACE("error " + std::to_string(code) + " on " + std::to_string(where));
            ResetSharedPorts();
            config.sharedHandle = 0;
            Station a(clock);
            ASSERT_EQ(a.driver().Open(&config), 1);
            const uint32_t handle = config.sharedHandle;
            a.port->calls.clear();
            if (where == kWrite) a.port->writeResult = code;
            if (where == kRead) a.port->readResult = code, a.port->readsBeforeFailure = 0;
            if (where == kQueueCount) a.port->queueCountResult = code;

            EXPECT_EQ(a.Exchange(), 0);
            EXPECT_EQ(a.port->calls, std::vector<std::string>{"Close"});
            EXPECT_TRUE(SharedPortAt(2).down);
            EXPECT_EQ(sharedEventTable[2], 0u);

            a.port->writeResult = a.port->readResult = a.port->queueCountResult = 0;
            a.port->readsBeforeFailure = ~0u;
            a.port->calls.clear();
            EXPECT_EQ(a.Exchange(), 1);
            EXPECT_EQ(a.port->calls, kReopened);
            EXPECT_FALSE(SharedPortAt(2).down);
            EXPECT_EQ(sharedEventTable[2], a.port->ioEvent);
            EXPECT_EQ(config.sharedHandle, handle);  // the host's record is not written again
        }
    }
}

TEST_F(LineKeeperTest, ATimeOutLeavesTheLineAsItIs) {
    Station a(clock);
    ASSERT_EQ(a.driver().Open(&config), 1);
    a.port->calls.clear();
    a.port->writeResult = kPortTimeout;
    EXPECT_EQ(a.Exchange(), 0);
    a.port->writeResult = 0;
    EXPECT_EQ(a.Exchange(), 1);
    EXPECT_TRUE(a.port->calls.empty());
    EXPECT_FALSE(SharedPortAt(2).down);
}

TEST_F(LineKeeperTest, AReopenIsTriedAtMostOnceEveryFiveSecondsAndTheTraceTellsEachTry) {
    const std::string path = "line_keeper_test.trace";
    std::remove(path.c_str());
    Station a(clock);
    a.driver().trace.Attach(TraceSink::Open(path));
    ASSERT_EQ(a.driver().Open(&config), 1);
    a.port->writeResult = 5;
    EXPECT_EQ(a.Exchange(), 0);  // breaks the line
    a.port->writeResult = 0;
    a.port->openResult = 2;  // the device is not there

    const uint32_t start = clock.Now();
    EXPECT_EQ(a.Exchange(), 0);  // the first try, at once
    EXPECT_EQ(a.Opens(), 2);
    for (uint32_t at : {1000u, 4999u}) {
        clock.Set(start + at);
        const size_t written = a.port->written.size();
        EXPECT_EQ(a.Exchange(), 0);
        EXPECT_EQ(a.Opens(), 2) << at;
        EXPECT_EQ(a.port->written.size(), written);  // nothing reaches the port
        EXPECT_EQ(clock.Now(), start + at);            // and no time is spent on it
        EXPECT_FALSE(a.driver().LineReady());
    }
    clock.Set(start + 5000);
    EXPECT_EQ(a.Exchange(), 0);
    EXPECT_EQ(a.Opens(), 3);
    a.port->openResult = 0;  // back
    clock.Set(start + 9999);
    EXPECT_EQ(a.Exchange(), 0);
    clock.Set(start + 10000);
    EXPECT_EQ(a.Exchange(), 1);
    EXPECT_EQ(a.Opens(), 4);

    const std::string trace = testing::ReadWholeFile(path);
    EXPECT_NE(trace.find("line broken: a write failed with error 5"), std::string::npos) << trace;
    EXPECT_NE(trace.find("line reopen failed: the device does not open (error 2); down for 0 ms, 1 tries"),
              std::string::npos) << trace;
    EXPECT_NE(trace.find("down for 5000 ms, 2 tries"), std::string::npos) << trace;
    EXPECT_NE(trace.find("line back: reopened with its settings after 10000 ms down (3 tries)"), std::string::npos)
        << trace;
    a.driver().trace.Attach(nullptr);
    std::remove(path.c_str());
}

TEST_F(LineKeeperTest, EveryStationOnThePortGoesOnWithTheLiveDevice) {
    Station a(clock), b(clock), c(clock);
    ASSERT_EQ(a.driver().Open(&config), 1);
    ASSERT_EQ(b.driver().Open(&config), 1);
    ASSERT_EQ(c.driver().Open(&config), 1);
    const uint32_t published = config.sharedHandle;
    a.port->writeResult = 109;
    EXPECT_EQ(a.Exchange(), 0);
    a.port->writeResult = 0;
    EXPECT_EQ(SharedPortAt(2).users, 3u);

    // An adopter reopens it; the opener and the other adopter (which still
    // holds the closed handle) follow without opening anything.
    EXPECT_EQ(b.Exchange(), 1);
    EXPECT_EQ(b.Opens(), 1);
    EXPECT_NE(b.port->device, static_cast<PlatformHandle>(published));
    for (Station* s : {&a, &c}) {
        EXPECT_EQ(s->Exchange(), 1);
        EXPECT_EQ(s->Opens(), s == &a ? 1 : 0);
        EXPECT_EQ(s->port->device, b.port->device);
        EXPECT_EQ(s->port->ioEvent, b.port->ioEvent);
    }
    EXPECT_EQ(config.sharedHandle, published);

    // A station opened later on the host's record adopts the live device.
    Station d(clock);
    EXPECT_EQ(d.driver().Open(&config), 1);
    EXPECT_EQ(d.Opens(), 0);
    EXPECT_EQ(d.port->device, b.port->device);
    EXPECT_EQ(SharedPortAt(2).users, 4u);

    // Close still closes: the device goes with its last user, whichever
    // station opened it.
    for (Station* s : {&a, &b, &c}) s->driver().Close(0);
    EXPECT_EQ(std::count(b.port->calls.begin(), b.port->calls.end(), "Close"), 0);
    d.port->calls.clear();
    d.driver().Close(0);
    EXPECT_EQ(d.port->calls, (std::vector<std::string>{"SetEventMask(4294967295)", "Close"}));
    EXPECT_EQ(SharedPortAt(2).users, 0u);
    EXPECT_EQ(sharedEventTable[2], 0u);
}

TEST_F(LineKeeperTest, AStationTheHostClosedIsNeverReopened) {
    Station a(clock), b(clock);
    ASSERT_EQ(a.driver().Open(&config), 1);
    ASSERT_EQ(b.driver().Open(&config), 1);
    b.driver().Close(0);
    a.port->writeResult = 5;
    EXPECT_EQ(a.Exchange(), 0);
    a.port->writeResult = 0;
    EXPECT_EQ(b.Exchange(), 0);
    EXPECT_EQ(b.driver().status.Code(), kStatusWriteError);
    EXPECT_EQ(b.Opens(), 0);
    EXPECT_FALSE(b.driver().LineReady());

    // The last station closes while the line is down: nothing is left to
    // reopen, and nothing is closed twice.
    a.port->calls.clear();
    a.driver().Close(0);
    EXPECT_TRUE(a.port->calls.empty());
    EXPECT_EQ(a.Exchange(), 0);
    EXPECT_EQ(a.Opens(), 0);
    EXPECT_FALSE(SharedPortAt(2).down);
    config.sharedHandle = 0;
    EXPECT_EQ(a.driver().Open(&config), 1);  // the host may open it again
}

}  // namespace
}  // namespace kelvora
