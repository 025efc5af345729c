// The three line exchanges against the scripted port on a fake clock: RTS
// order and hold, write and wait time-outs, the number of polls, collection
// in pieces, responses cut off by a pause, and every failure path.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <memory>
#include <string>

#include "driver/test_driver.h"
#include "support/scripted_port.h"

namespace kelvora {
namespace {

using testing::FakeClock;
using testing::FakeStation;
using testing::ScriptedPort;

class ExchangesTest : public ::testing::Test {
protected:
    void SetUp() override {
        clock.tickStep = 1;
        auto owned = std::make_unique<ScriptedPort>(&clock);
        port = owned.get();
        driver().SetPort(std::move(owned));
        driver().SetClock(clock);
        ASSERT_EQ(port->Open("\\\\.\\COM1", 2048, 2048), 0u);
        port->calls.clear();
        port->emptyReadMs = 30;  // an empty read lasts its mode-2 window
        driver().timeoutMs = 500;
    }
    DriverBase& driver() { return station.driver; }
    // The far end answers every request with reply, delayMs later.
    void Answer(const std::string& reply, uint32_t delayMs = 0) {
        port->onWrite = [this, reply, delayMs](ScriptedPort& p, const std::string&) {
            p.calls.push_back("Write@" + std::to_string(clock.Now()));
            p.Arrive(reply, delayMs);
        };
    }

    FakeClock clock;
    FakeStation station;
    ScriptedPort* port = nullptr;
    std::string buffer = "AT+CSQ\r";
    uint32_t count = 7;
};

TEST_F(ExchangesTest, EffectiveTimeoutIsCappedAsAnUnsignedNumber) {
    const struct {
        int32_t given;
        uint32_t used;
    } cases[] = {{-1, 60000}, {INT_MIN, 60000}, {60001, 60000}, {60000, 60000}, {1000, 1000}, {0, 0}};
    for (const auto& c : cases) {
        driver().timeoutMs = c.given;
        EXPECT_EQ(driver().EffectiveTimeoutMs(), c.used) << c.given;
    }
}

TEST_F(ExchangesTest, BusyWaitSpinsWithoutSleepingAcrossTheWrap) {
    clock.Set(0xFFFFFFFD);
    driver().BusyWait(5);
    const uint32_t spent = clock.Now() - 0xFFFFFFFDu;
    EXPECT_GE(spent, 5u);
    EXPECT_LT(spent, 10u);
    EXPECT_TRUE(clock.sleeps.empty());
}

TEST_F(ExchangesTest, RtsIsRaisedBeforeTheWriteAndDroppedFiveMillisecondsAfter) {
    for (int16_t lineType : {int16_t{1}, int16_t{2}}) {
        driver().lineType = lineType;
        port->calls.clear();
        clock.sleeps.clear();
        Answer("OK");
        buffer = "AT\r";
        count = 3;
        ASSERT_EQ(driver().ExchangePolled(buffer, count), 1);
        ASSERT_GE(port->calls.size(), 3u);
        const std::string& up = port->calls[0];
        const std::string& write = port->calls[1];
        const std::string& down = port->calls[2];
        ASSERT_EQ(up.rfind("SetRts(1)@", 0), 0u) << up;
        ASSERT_EQ(write.rfind("Write@", 0), 0u) << write;
        ASSERT_EQ(down.rfind("SetRts(0)@", 0), 0u) << down;
        const uint32_t writtenAt = std::stoul(write.substr(6));
        const uint32_t droppedAt = std::stoul(down.substr(10));
        EXPECT_GE(droppedAt - writtenAt, 5u);
        EXPECT_LT(droppedAt - writtenAt, 10u);
        // Spun, not slept: no sleep comes before RTS is dropped.
        EXPECT_EQ(clock.CountSleeps(5), 0u);
        EXPECT_EQ(buffer, "OK");
    }
}

TEST_F(ExchangesTest, OtherLineTypesLeaveRtsAlone) {
    for (int16_t lineType : {int16_t{0}, int16_t{3}, int16_t{-1}}) {
        driver().lineType = lineType;
        port->calls.clear();
        Answer("OK");
        buffer = "AT\r";
        count = 3;
        ASSERT_EQ(driver().ExchangeQueued(buffer, count), 1);
        for (const std::string& call : port->calls) EXPECT_EQ(call.rfind("SetRts", 0), std::string::npos) << call;
    }
}

TEST_F(ExchangesTest, AFailedWriteEmptiesTheBufferAndLeavesRtsRaised) {
    driver().lineType = 1;
    port->writeResult = kPortTimeout;
    EXPECT_EQ(driver().ExchangeOnEvent(buffer, count, nullptr, nullptr), 0);
    EXPECT_EQ(driver().status.Code(), kStatusWriteError);
    EXPECT_TRUE(buffer.empty());
    EXPECT_EQ(count, 0u);
    EXPECT_TRUE(port->rts);
    EXPECT_EQ(port->calls.back().rfind("SetRts(1)", 0), 0u);
}

TEST_F(ExchangesTest, OnlyTheCountedBytesAreSent) {
    Answer("OK");
    buffer = "ATxyz";
    count = 2;
    ASSERT_EQ(driver().ExchangePolled(buffer, count), 1);
    EXPECT_EQ(port->written, "AT");
    // An over-long count sends the buffer, not what lies past it.
    Answer("OK");
    buffer = "AT";
    count = 1000;
    port->written.clear();
    ASSERT_EQ(driver().ExchangePolled(buffer, count), 1);
    EXPECT_EQ(port->written, "AT");
}

TEST_F(ExchangesTest, PollsAreCountedForTimeoutsZeroAndOneThousand) {
    driver().timeoutMs = 0;
    EXPECT_EQ(driver().ExchangePolled(buffer, count), 0);
    EXPECT_EQ(driver().status.Code(), kStatusWriteError);
    EXPECT_EQ(port->queueCountCalls, 1u);
    ASSERT_FALSE(clock.sleeps.empty());
    EXPECT_EQ(clock.sleeps[0], 10u);  // the first poll 10 ms after the write
    EXPECT_TRUE(buffer.empty());
    EXPECT_EQ(count, 0u);

    driver().timeoutMs = 1000;
    port->queueCountCalls = 0;
    buffer = "AT";
    count = 2;
    EXPECT_EQ(driver().ExchangeQueued(buffer, count), 0);
    EXPECT_EQ(port->queueCountCalls, 101u);
    EXPECT_EQ(driver().status.Code(), kStatusWriteError);

    // The initial -1 is a minute, not weeks.
    driver().timeoutMs = -1;
    port->queueCountCalls = 0;
    EXPECT_EQ(driver().ExchangePolled(buffer, count), 0);
    EXPECT_EQ(port->queueCountCalls, 6001u);
}

TEST_F(ExchangesTest, PolledCollectsTheResponseInPieces) {
    const std::string reply = "\r\n+CSQ: 21,0\r\n\r\nOK\r\n";
    Answer(reply, 45);
    ASSERT_EQ(driver().ExchangePolled(buffer, count), 1);
    EXPECT_EQ(driver().status.Code(), kStatusOk);
    EXPECT_EQ(buffer, reply);
    EXPECT_EQ(count, reply.size());
    EXPECT_EQ(port->readCalls, 3u);  // 10 + 10 bytes, then an empty piece
    for (uint32_t limit : port->readTimeouts) EXPECT_EQ(limit, kWaitForever);
    EXPECT_EQ(port->writeTimeouts, std::vector<uint32_t>{2000});
}

TEST_F(ExchangesTest, AResponseInterruptedByAPauseIsCutThere) {
    port->onWrite = [](ScriptedPort& p, const std::string&) {
        p.Arrive("FIRST");
        p.Arrive("SECOND", 200);  // longer than a read window after the first
    };
    ASSERT_EQ(driver().ExchangePolled(buffer, count), 1);
    EXPECT_EQ(buffer, "FIRST");
    EXPECT_EQ(count, 5u);
    clock.Advance(300);
    EXPECT_EQ(port->Pending(), 6u);  // the rest stays queued

    port->onWrite = [](ScriptedPort& p, const std::string&) {
        p.Arrive("0123456789ABCDEF");
        p.Arrive("LATE", 500);
    };
    buffer = "AT";
    count = 2;
    clock.Advance(1000);  // "SECOND" is read as the start of this response
    ASSERT_EQ(driver().ExchangeQueued(buffer, count), 1);
    EXPECT_EQ(buffer.substr(buffer.size() - 16), "0123456789ABCDEF");
    EXPECT_EQ(buffer.find("LATE"), std::string::npos);
}

TEST_F(ExchangesTest, QueuedTakesWhatWaitsInOneReadThenDrains) {
    port->onWrite = [](ScriptedPort& p, const std::string&) {
        p.Arrive("0123456789012345678901234", 20);  // 25 bytes
        p.Arrive("tail", 25);  // before the first drain step
    };
    ASSERT_EQ(driver().ExchangeQueued(buffer, count), 1);
    EXPECT_EQ(buffer, "0123456789012345678901234tail");
    EXPECT_EQ(count, 29u);
    EXPECT_EQ(port->writeTimeouts, std::vector<uint32_t>{2000});
}

TEST_F(ExchangesTest, AFailedReadKeepsWhatWasCollected) {
    Answer("0123456789abcdef");
    port->readsBeforeFailure = 1;
    port->readResult = 995;
    EXPECT_EQ(driver().ExchangePolled(buffer, count), 0);
    EXPECT_EQ(driver().status.Code(), kStatusReadError);
    EXPECT_EQ(buffer, "0123456789");
    EXPECT_EQ(count, 10u);

    Answer("0123456789abcdef");
    port->readsBeforeFailure = 0;
    buffer = "AT";
    count = 2;
    EXPECT_EQ(driver().ExchangeQueued(buffer, count), 0);
    EXPECT_EQ(driver().status.Code(), kStatusReadError);
    EXPECT_TRUE(buffer.empty());
    EXPECT_EQ(count, 0u);
}

TEST_F(ExchangesTest, OnEventUsesTheStationTimeoutWhenNoneIsGiven) {
    Answer("OK\r\n");
    ASSERT_EQ(driver().ExchangeOnEvent(buffer, count, nullptr, nullptr), 1);
    EXPECT_EQ(buffer, "OK\r\n");
    EXPECT_EQ(port->writeTimeouts, std::vector<uint32_t>{500});
    EXPECT_EQ(port->calls[1], "WaitForEvent(500)");
    EXPECT_EQ(port->lastEvent, kNoEvent);  // taken

    const uint32_t waitMs = 250, writeMs = 300;
    Answer("OK\r\n");
    port->writeTimeouts.clear();
    buffer = "AT";
    count = 2;
    ASSERT_EQ(driver().ExchangeOnEvent(buffer, count, &waitMs, &writeMs), 1);
    EXPECT_EQ(port->writeTimeouts, std::vector<uint32_t>{300});
    EXPECT_NE(std::find(port->calls.begin(), port->calls.end(), "WaitForEvent(250)"), port->calls.end());

    driver().timeoutMs = -1;
    port->calls.clear();
    Answer("OK");
    ASSERT_EQ(driver().ExchangeOnEvent(buffer, count, nullptr, nullptr), 1);
    EXPECT_NE(std::find(port->calls.begin(), port->calls.end(), "WaitForEvent(60000)"), port->calls.end());
}

TEST_F(ExchangesTest, OnEventWithoutAReceivedCharacterReadsNothing) {
    Answer("unrelated");
    port->eventBits = 0x0004;
    ASSERT_EQ(driver().ExchangeOnEvent(buffer, count, nullptr, nullptr), 1);
    EXPECT_EQ(driver().status.Code(), kStatusOk);
    EXPECT_TRUE(buffer.empty());
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(port->readCalls, 0u);
}

TEST_F(ExchangesTest, OnEventWaitThatFailsIsAReadError) {
    Answer("late");
    port->waitResult = kPortTimeout;
    EXPECT_EQ(driver().ExchangeOnEvent(buffer, count, nullptr, nullptr), 0);
    EXPECT_EQ(driver().status.Code(), kStatusReadError);
    EXPECT_TRUE(buffer.empty());
    EXPECT_EQ(count, 0u);
}

TEST_F(ExchangesTest, ExchangesOnAClosedPortAreWriteErrors) {
    port->Close();
    EXPECT_EQ(driver().ExchangeOnEvent(buffer, count, nullptr, nullptr), 0);
    EXPECT_EQ(driver().status.Code(), kStatusWriteError);
    buffer = "AT";
    count = 2;
    EXPECT_EQ(driver().ExchangePolled(buffer, count), 0);
    EXPECT_EQ(driver().status.Code(), kStatusWriteError);
    buffer = "AT";
    count = 2;
    EXPECT_EQ(driver().ExchangeQueued(buffer, count), 0);
    EXPECT_EQ(driver().status.Code(), kStatusWriteError);
    EXPECT_TRUE(buffer.empty());
}

}  // namespace
}  // namespace kelvora
