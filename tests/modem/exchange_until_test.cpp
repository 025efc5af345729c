// ExchangeUntil against a scripted port: the write, RTS, the first-byte
// wait, collection up to the terminator, the time-out, port failures and the
// bound on a response.
#include <gtest/gtest.h>

#include <string>

#include "modem_fixture.h"

namespace kelvora::testing {
namespace {

class ExchangeUntil : public ModemTest {};

TEST(ExchangeWithoutAPort, EveryOperationFailsAsAPortFailure) {
    FakeClock clock;
    SerialLine line;  // no port
    line.clock = &clock;
    line.timeoutMs = 1000;
    GsmModem modem(line);
    const uint32_t start = clock.Now();
    std::string buffer = "AT\r";
    uint32_t length = 3;
    ExchangeResult result;
    EXPECT_FALSE(modem.ExchangeUntil(buffer, length, "\r\nOK\r\n", &result));
    EXPECT_EQ(ExchangeOutcome::kPortFailed, result.outcome);
    EXPECT_FALSE(result.written);
    EXPECT_EQ(0u, length);
    std::vector<SmsRecord> records(4);
    EXPECT_EQ(0, modem.ListMessages(records.data(), 4, ListFilter::kAll, &result));
    EXPECT_EQ(ExchangeOutcome::kPortFailed, result.outcome);
    EXPECT_FALSE(modem.DeleteMessage(1, &result));
    EXPECT_EQ(ExchangeOutcome::kPortFailed, result.outcome);
    SendResult sent;
    EXPECT_FALSE(modem.SendSms("", "13900000001", "abc", &sent));
    EXPECT_EQ(SendOutcome::kPortFailed, sent.outcome);

    // The line's own steps, as the driver's exchanges take them.
    LineTransaction steps(line);
    EXPECT_FALSE(steps.Send("AT\r", 3, 100));
    EXPECT_EQ(0u, steps.AwaitFirstByte(100));
    buffer.clear();
    EXPECT_EQ(CollectEnd::kReadFailed, steps.Collect(buffer, CollectRules{}));
    EXPECT_LE(clock.Now() - start, 200u);  // no wait without a port
}

TEST_F(ExchangeUntil, WritesThenCollectsUpToTheTerminator) {
    port->onWrite = [](ScriptedPort& p, const std::string&) { p.Arrive("\r\nOK\r\nlater", 30); };
    std::string buffer = "AT\r";
    uint32_t length = 3;
    ExchangeResult result;
    EXPECT_TRUE(modem.ExchangeUntil(buffer, length, "\r\nOK\r\n", &result));
    EXPECT_EQ("AT\r", port->written);
    EXPECT_EQ("\r\nOK\r\nlater", buffer);  // one read took what was waiting
    EXPECT_EQ(buffer.size(), length);
    EXPECT_EQ(ExchangeOutcome::kAnswered, result.outcome);
}

TEST_F(ExchangeUntil, FindsATerminatorSplitOverReads) {
    port->onWrite = [](ScriptedPort& p, const std::string&) {
        p.Arrive("\r\n+CMGS: 5\r\n\r", 20);
        p.Arrive("\nO", 40);
        p.Arrive("K\r\n", 60);
        p.Arrive("not read", 500);
    };
    std::string buffer = "x";
    uint32_t length = 1;
    EXPECT_TRUE(modem.ExchangeUntil(buffer, length, "\r\nOK\r\n"));
    EXPECT_EQ("\r\n+CMGS: 5\r\n\r\nOK\r\n", buffer);
    EXPECT_GE(port->readCalls, 3u);
}

TEST_F(ExchangeUntil, SilenceEndsAfterTheTimeOut) {
    const uint32_t start = clock.Now();
    std::string buffer = "AT\r";
    uint32_t length = 3;
    ExchangeResult result;
    EXPECT_TRUE(modem.ExchangeUntil(buffer, length, "\r\nOK\r\n", &result));
    EXPECT_EQ(0u, length);
    EXPECT_TRUE(buffer.empty());
    EXPECT_EQ(ExchangeOutcome::kNoAnswer, result.outcome);
    const uint32_t elapsed = clock.Now() - start;
    EXPECT_GE(elapsed, 1000u);
    EXPECT_LE(elapsed, 1030u);
    EXPECT_EQ(102u, port->queueCountCalls - port->readCalls);  // a look before the write, the first-byte polls
}

TEST_F(ExchangeUntil, ANegativeTimeOutIsCappedAtOneMinute) {
    driver.timeoutMs = -1;
    const uint32_t start = clock.Now();
    std::string buffer = "AT\r";
    uint32_t length = 3;
    EXPECT_TRUE(modem.ExchangeUntil(buffer, length, "\r\nOK\r\n"));
    const uint32_t elapsed = clock.Now() - start;
    EXPECT_GE(elapsed, 60000u);
    EXPECT_LE(elapsed, 60030u);
}

TEST_F(ExchangeUntil, WhatWaitsBeforeTheWriteIsSetAsideNotTakenForTheAnswer) {
    port->Arrive("\r\nRING\r\n\r\n+CMGS: 3\r\n");  // already waiting before the write
    port->Arrive("\r\nOK\r\n", 5);                    // and the tail of a late answer on its way
    port->onWrite = [](ScriptedPort& p, const std::string&) { p.Arrive("\r\n> ", 200); };
    std::string buffer = "AT+CMGS=21\r";
    uint32_t length = static_cast<uint32_t>(buffer.size());
    ExchangeResult result;
    EXPECT_TRUE(modem.ExchangeUntil(buffer, length, ">", &result));
    EXPECT_EQ("\r\n> ", buffer);
    EXPECT_EQ(ExchangeOutcome::kAnswered, result.outcome);
    EXPECT_EQ(26u, result.setAside);
    EXPECT_EQ(210u, result.elapsedMs);  // the answer, and the sleep before the read that took it
}

TEST_F(ExchangeUntil, OutcomesOfSilenceAndPortFailure) {
    ExchangeResult result;
    std::string buffer = "AT\r";
    uint32_t length = 3;
    EXPECT_TRUE(modem.ExchangeUntil(buffer, length, "\r\nOK\r\n", &result));
    EXPECT_EQ(ExchangeOutcome::kNoAnswer, result.outcome);
    EXPECT_EQ(-1, result.errorNumber);

    port->readsBeforeFailure = 0;
    buffer = "AT\r";
    length = 3;
    EXPECT_FALSE(modem.ExchangeUntil(buffer, length, "\r\nOK\r\n", &result));
    EXPECT_EQ(ExchangeOutcome::kPortFailed, result.outcome);
}

TEST_F(ExchangeUntil, BytesThatKeepComingHoldItOpenPastTheTimeOut) {
    // A byte before every read for 3 s, then the final result.
    const uint32_t start = clock.Now();
    bool done = false;
    clock.onSleep = [&](uint32_t) {
        if (done) return;
        if (clock.Now() - start < 3000) {
            port->Arrive("x");
        } else {
            port->Arrive("\r\nOK\r\n");
            done = true;
        }
    };
    std::string buffer = "AT\r";
    uint32_t length = 3;
    EXPECT_TRUE(modem.ExchangeUntil(buffer, length, "\r\nOK\r\n"));
    clock.onSleep = nullptr;
    EXPECT_GE(buffer.size(), 290u);
    EXPECT_EQ(buffer.size() - 6, buffer.find("\r\nOK\r\n"));
}

TEST_F(ExchangeUntil, GapsEndItOnceTheTimeOutHasPassed) {
    // A line every 50 ms for 3 s: the first empty read after 1000 ms ends it.
    port->onWrite = [](ScriptedPort& p, const std::string&) {
        for (uint32_t t = 50; t <= 3000; t += 50) p.Arrive("^RSSI:20\r\n", t);
        p.Arrive("\r\nOK\r\n", 3010);
    };
    std::string buffer = "AT\r";
    uint32_t length = 3;
    EXPECT_TRUE(modem.ExchangeUntil(buffer, length, "\r\nOK\r\n"));
    EXPECT_GE(buffer.size(), 19u * 10u);
    EXPECT_LE(buffer.size(), 21u * 10u);
    EXPECT_EQ(std::string::npos, buffer.find("OK"));
}

TEST_F(ExchangeUntil, ReadsEverythingWaitingInOneStep) {
    const std::string big(3000, 'A');
    port->onWrite = [&](ScriptedPort& p, const std::string&) { p.Arrive(big + "\r\nOK\r\n", 10); };
    std::string buffer = "AT+CMGL\r";
    uint32_t length = 8;
    EXPECT_TRUE(modem.ExchangeUntil(buffer, length, "\r\nOK\r\n"));
    EXPECT_EQ(big.size() + 6, length);
    EXPECT_EQ(1u, port->readCalls);
}

TEST_F(ExchangeUntil, ABabblingLineStopsAtTheResponseBound) {
    port->onWrite = [](ScriptedPort& p, const std::string&) { p.Arrive(std::string(1000, 'z')); };
    clock.onSleep = [this](uint32_t) { port->Arrive(std::string(1000, 'z')); };
    std::string buffer = "AT\r";
    uint32_t length = 3;
    EXPECT_TRUE(modem.ExchangeUntil(buffer, length, "\r\nOK\r\n"));
    EXPECT_EQ(kMaxResponseBytes, buffer.size());
    EXPECT_EQ(kMaxResponseBytes, length);
    clock.onSleep = nullptr;
}

TEST_F(ExchangeUntil, AFailedWriteEmptiesTheBufferAndLeavesRtsRaised) {
    driver.lineType = 1;
    clock.tickStep = 1;
    port->writeResult = 1460;
    std::string buffer = "AT\r";
    uint32_t length = 3;
    ExchangeResult result;
    EXPECT_FALSE(modem.ExchangeUntil(buffer, length, "\r\nOK\r\n", &result));
    EXPECT_TRUE(buffer.empty());
    EXPECT_EQ(0u, length);
    EXPECT_EQ(ExchangeOutcome::kPortFailed, result.outcome);
    EXPECT_FALSE(result.written);  // the station's write error
    EXPECT_TRUE(port->rts);
    EXPECT_EQ(0u, port->readCalls);
}

TEST_F(ExchangeUntil, AFailedReadKeepsWhatCame) {
    port->onWrite = [](ScriptedPort& p, const std::string&) { p.Arrive("\r\n+CMGL: 1", 10); };
    port->readsBeforeFailure = 1;
    std::string buffer = "AT+CMGL\r";
    uint32_t length = 8;
    ExchangeResult result;
    EXPECT_FALSE(modem.ExchangeUntil(buffer, length, "\r\nOK\r\n", &result));
    EXPECT_EQ("\r\n+CMGL: 1", buffer);
    EXPECT_EQ(buffer.size(), length);
    EXPECT_EQ(ExchangeOutcome::kPortFailed, result.outcome);
    EXPECT_TRUE(result.written);  // the station's read error
}

TEST_F(ExchangeUntil, RaisesRtsForTheWriteOnLineTypesOneAndTwo) {
    for (int32_t lineType : {0, 1, 2, 3}) {
        port->calls.clear();
        driver.lineType = lineType;
        clock.tickStep = 1;
        std::string buffer = "AT\r";
        uint32_t length = 3;
        modem.ExchangeUntil(buffer, length, "\r\nOK\r\n");
        std::vector<std::string> rtsCalls;
        for (const std::string& c : port->calls) {
            if (c.rfind("SetRts", 0) == 0) rtsCalls.push_back(c);
        }
        if (lineType == 1 || lineType == 2) {
            ASSERT_EQ(2u, rtsCalls.size()) << lineType;
            EXPECT_EQ(0u, rtsCalls[0].rfind("SetRts(1)@", 0));
            EXPECT_EQ(0u, rtsCalls[1].rfind("SetRts(0)@", 0));
            const uint32_t up = static_cast<uint32_t>(std::stoul(rtsCalls[0].substr(10)));
            const uint32_t down = static_cast<uint32_t>(std::stoul(rtsCalls[1].substr(10)));
            EXPECT_GE(down - up, 5u);
            EXPECT_FALSE(port->rts);
        } else {
            EXPECT_TRUE(rtsCalls.empty()) << lineType;
        }
    }
}

TEST_F(ExchangeUntil, AClosedPortIsAWriteError) {
    port->Close();
    std::string buffer = "AT\r";
    uint32_t length = 3;
    ExchangeResult result;
    EXPECT_FALSE(modem.ExchangeUntil(buffer, length, "\r\nOK\r\n", &result));
    EXPECT_EQ(ExchangeOutcome::kPortFailed, result.outcome);
    EXPECT_FALSE(result.written);
    EXPECT_EQ("", port->written);
}

}  // namespace
}  // namespace kelvora::testing
