// The dialogue trace: what a scripted dialogue leaves in it, the size bound
// of a trace file (also when the older file cannot be replaced), a
// destination that cannot be opened, and several writers on one sink.
#include "platform/trace.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/trace_sink.h"
#include "stations/central_station.h"
#include "station_fixture.h"
#include "support/file_text.h"

namespace kelvora::testing {
namespace {

class TraceTest : public ::testing::Test {
protected:
    void SetUp() override {
        path = std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) + ".trace";
        RemoveBoth();
    }
    void TearDown() override { RemoveBoth(); }
    void RemoveBoth() {
        std::error_code ignored;
        std::filesystem::remove(path, ignored);
        std::filesystem::remove_all(path + ".1", ignored);
    }
    std::string path;
};

TEST_F(TraceTest, AScriptedDialogueCanBeFollowedFromTheTrace) {
    StationRig<CentralStation> rig;
    rig->trace.Attach(TraceSink::Open(path));
    ASSERT_TRUE(rig->trace.on());
    RegisterRequest detc = Request(kTypeDetc, 5, 0, 0, kDataText);
    RegisterValue number = TextValue("+8613900000005");
    rig->Write(nullptr, &detc, &number);
    RegisterRequest m = Request(kTypeM, 5, 120);
    RegisterValue v = IntValue(42);
    ASSERT_EQ(1, rig->Write(nullptr, &m, &v));

    rig.modem->Receive("8613900000005", "BEGINRM0512000000001000000020000000300000004FFFFFFFFEND");
    rig.modem->Receive("8613700000000", "BEGINRM0512500000009000000090000000900000009FFFFFFFFEND");
    rig.modem->refuseDeletes = 1;
    ASSERT_EQ(1, rig->Read(nullptr, &m, &v));

    const std::string trace = ReadWholeFile(path);
    for (const char* event : {
             "write command BEGINWM051200000002AEND for site 5 after the pause",
             "wrote \"AT+CMGS=61\\r\", received \"\\r\\n> \": answered",
             "send \"BEGINWM051200000002AEND\" to 8613900000005 via 8613800100500: accepted, message reference 7",
             "write M5.120 (int) = 42: status 0 (OK)",
             "poll for the read of M5.120 (site 5, group 120..124)",
             "wrote \"AT+CMGL=1\\r\"",
             "listed 2 message(s)",
             "message 1 from 8613900000005 sent 23110612345032 \"BEGINRM05120",
             "report applied for site 5, addresses 120..124",
             "message 2 from 8613700000000",
             "refused by the sender check: DETC5 is \"+8613900000005\"",
             "received \"\\r\\n+CMS ERROR: 500\\r\\n\": refused (error 500)",
             "message 1 not deleted (refused with error 500): remembered",
             "deleted message 2",
             "read M5.120 (int) = 1: status 0 (OK)",  // the report came after the write
         }) {
        EXPECT_NE(std::string::npos, trace.find(event)) << event << "\n" << trace;
    }
    // Every line: the time to the millisecond, then the station and its port.
    std::istringstream lines(trace);
    std::string line;
    while (std::getline(lines, line)) {
        ASSERT_GT(line.size(), 24u);
        EXPECT_EQ('.', line[19]) << line;
        EXPECT_EQ(" central - - ", line.substr(23, 13)) << line;
    }
}

TEST_F(TraceTest, AFileIsRenamedAtItsBoundAndANewOneBegins) {
    const std::string old = path + ".1";
    {
        std::ofstream(old) << "an older trace\n";
        auto sink = TraceSink::Open(path, 1000);
        ASSERT_TRUE(sink);
        for (int i = 0; i < 25; ++i) sink->Write(std::string(99, static_cast<char>('a' + i)));  // 100 bytes a line
    }
    const std::string current = ReadWholeFile(path), previous = ReadWholeFile(old);
    EXPECT_EQ(500u, current.size());   // lines 21 to 25
    EXPECT_EQ(1000u, previous.size()); // lines 11 to 20: the older trace is gone
    EXPECT_EQ('u', current[0]);
    EXPECT_EQ('k', previous[0]);
}

TEST_F(TraceTest, ARenameThatFailsAtTheBoundRestartsTheFileInPlace) {
    std::filesystem::create_directories(path + ".1/in-the-way");  // the rename cannot replace it
    {
        auto sink = TraceSink::Open(path, 1000);
        ASSERT_TRUE(sink);
        for (int i = 0; i < 25; ++i) sink->Write(std::string(99, static_cast<char>('a' + i)));
    }
    const std::string current = ReadWholeFile(path);
    EXPECT_LE(current.size(), 1000u);
    EXPECT_NE(std::string::npos, current.find("could not rename")) << current;
    EXPECT_NE(std::string::npos, current.find(std::string(99, 'y') + "\n")) << current;  // the last line written
}

TEST_F(TraceTest, ADestinationThatCannotBeOpenedLeavesTheTraceOff) {
    EXPECT_FALSE(TraceSink::Open("no-such-directory/trace.log"));
    EXPECT_FALSE(TraceSink::Open(""));
    StationRig<CentralStation> rig;
    rig->trace.Attach(TraceSink::Open("no-such-directory/trace.log"));
    EXPECT_FALSE(rig->trace.on());
    RegisterRequest m = Request(kTypeM, 5, 120);
    RegisterValue v{};
    EXPECT_EQ(1, rig->Read(nullptr, &m, &v));  // the driver works as before
}

TEST_F(TraceTest, StationsSharingASinkKeepTheirLinesWhole) {
    auto sink = TraceSink::Open(path);
    ASSERT_TRUE(sink);
    std::vector<std::thread> writers;
    for (char c : {'x', 'y', 'z'}) {
        writers.emplace_back([sink, c] {
            for (int i = 0; i < 200; ++i) sink->Write(std::string(300, c));
        });
    }
    for (std::thread& t : writers) t.join();
    std::istringstream lines(ReadWholeFile(path));
    std::string line;
    int count = 0;
    while (std::getline(lines, line)) {
        ++count;
        ASSERT_EQ(std::string(300, line[0]), line);
    }
    EXPECT_EQ(600, count);
}

}  // namespace
}  // namespace kelvora::testing
