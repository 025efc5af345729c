// The centre's view the host can trust, on the fake clock: a written value
// held against reports until the site confirms it (HoldWrites), and a silent
// site or a failed poll failing the read (StaleAfter). The network's clock
// reads 04:00:00 UTC on 2023-11-06 when the fake clock reads its start.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "platform/trace_sink.h"
#include "stations/central_station.h"
#include "station_fixture.h"
#include "support/file_text.h"

namespace kelvora::testing {
namespace {

constexpr uint32_t kStart = 100000;  // the rig's fake clock at the start

// A central station whose site 5 has its number (DETC5), with the options
// the test sets.
struct ViewRig {
    ViewRig() {
        RegisterRequest r = Request(kTypeDetc, 5, 0, 0, kDataText);
        RegisterValue number = TextValue("+8613900000005");
        station.Write(nullptr, &r, &number);
    }

    // The network's clock now, in seconds after 04:00:00.
    int64_t NetworkNow() const { return (rig.clock.Now() - kStart) / 1000; }
    // A service-centre stamp that many seconds after 04:00:00 (UTC).
    static std::string Stamp(int64_t seconds) {
        const int64_t s = 4 * 3600 + seconds;
        char text[32];
        std::snprintf(text, sizeof text, "231106%02d%02d%02d00", static_cast<int>(s / 3600),
                      static_cast<int>(s / 60 % 60), static_cast<int>(s % 60));
        return text;
    }
    // Site 5's report of M5.120..124, sent at the network time given (or
    // with no readable stamp): M5.120 shows v120, the others v121.
    void Report(int64_t sent, uint32_t v120, uint32_t v121, bool stamped = true) {
        char text[64];
        std::snprintf(text, sizeof text, "BEGINRM05120%08X%08X%08X%08X%08XEND", v120, v121, v121, v121, v121);
        modem.Receive("8613900000005", text, false, stamped ? Stamp(sent) : "00000000000000");
    }
    // A report sent as the next read will list it (after 3 s and the pause):
    // it teaches the network's clock with no delay in it.
    void ReportNow(uint32_t v120, uint32_t v121) { Report(NetworkNow() + 4, v120, v121); }
    // Reads M<site>.<address> after the group's poll time ran out; the status.
    uint32_t Read(int16_t address, int32_t* value, int32_t site = 5) {
        rig.clock.Advance(3000);
        RegisterRequest r = Request(kTypeM, site, address);
        RegisterValue v{};
        const int32_t result = station.Read(nullptr, &r, &v);
        *value = v.intValue;
        EXPECT_EQ(result == 1, station.status.Code() == kStatusOk);
        return station.status.Code();
    }
    int32_t ReadValue(int16_t address) {
        int32_t value = 0;
        Read(address, &value);
        return value;
    }
    // Writes M5.120; the network time the write was accepted at.
    int64_t Write(int32_t value, int16_t address = 120) {
        RegisterRequest r = Request(kTypeM, 5, address);
        RegisterValue v = IntValue(value);
        EXPECT_EQ(1, station.Write(nullptr, &r, &v));
        return NetworkNow();
    }

    StationRig<CentralStation> rig;
    CentralStation& station = *rig;
    FakeModem& modem = *rig.modem;
};

class CentreViewTest : public ::testing::Test, public ViewRig {};

TEST_F(CentreViewTest, AWrittenValueHoldsAgainstEarlierReportsUntilTheSiteConfirmsIt) {
    for (const bool hold : {false, true}) {
        SCOPED_TRACE(hold ? "HoldWrites on" : "HoldWrites off");
        ViewRig t;
        t.station.view.SetOptions(ViewOptions{hold, 0});
        t.ReportNow(0, 1);
        EXPECT_EQ(0, t.ReadValue(120));
        t.rig.clock.Advance(10000);
        const int64_t written = t.Write(42);

        // Sent 4 s before the write and 12 s after it: both land after it.
        t.Report(written - 4, 0, 2);
        EXPECT_EQ(hold ? 42 : 0, t.ReadValue(120));
        EXPECT_EQ(2, t.ReadValue(121));  // the rest of the group as usual
        t.Report(written + 12, 0, 3);
        EXPECT_EQ(hold ? 42 : 0, t.ReadValue(120));
        EXPECT_EQ(3, t.ReadValue(121));
        if (!hold) continue;

        // Confirmed: a later report showing another value is applied.
        t.Report(written + 20, 42, 4);
        EXPECT_EQ(42, t.ReadValue(120));
        EXPECT_EQ(0u, t.station.view.HeldCount());
        t.Report(written + 25, 17, 4);
        EXPECT_EQ(17, t.ReadValue(120));
    }
}

TEST_F(CentreViewTest, AReportSentHLaterWinsAndWithoutItTheHoldEndsAtItsBound) {
    station.view.SetOptions(ViewOptions{true, 0});
    ReportNow(5, 1);
    EXPECT_EQ(5, ReadValue(120));
    int64_t written = Write(42);
    rig.clock.Advance(58000);
    Report(written + 59, 7, 1);  // the site changed it since, but too soon to tell
    EXPECT_EQ(42, ReadValue(120));
    Report(written + 61, 7, 1);  // sent 61 s after the write: it wins
    EXPECT_EQ(7, ReadValue(120));
    EXPECT_EQ(0u, station.view.HeldCount());

    // Without readable stamps only the written value or the time bound
    // (five minutes' validity and 60 s) ends a hold.
    written = Write(43);
    const uint32_t accepted = rig.clock.Now();
    rig.clock.Advance(200000);
    Report(0, 7, 2, false);
    EXPECT_EQ(43, ReadValue(120));
    rig.clock.Set(accepted + 355000);  // the read lists 359 s after the write
    Report(0, 7, 3, false);
    EXPECT_EQ(43, ReadValue(120));
    rig.clock.Set(accepted + 358500);  // and 362 s after it
    Report(0, 7, 4, false);
    EXPECT_EQ(7, ReadValue(120));
}

TEST_F(CentreViewTest, ASilentSiteReadsAsFailedAfterNSecondsAndWritesGoOn) {
    const std::string path = "centre_view_silent.trace";
    std::remove(path.c_str());
    station.trace.Attach(TraceSink::Open(path));
    station.view.SetOptions(ViewOptions{false, 60});
    int32_t value = 0;

    // Site 6, never heard from: counted from the station's start.
    rig.clock.Set(kStart + 50000);
    EXPECT_EQ(kStatusOk, Read(0, &value, 6));
    rig.clock.Set(kStart + 57000);  // the read lists 61 s after the start
    EXPECT_EQ(kStatusReadError, Read(0, &value, 6));

    // Site 5 reports; its reads fail 60 s after the report was applied,
    // the value still filled from the image.
    Report(NetworkNow(), 9, 1);
    EXPECT_EQ(kStatusOk, Read(120, &value));
    const uint32_t applied = rig.clock.Now();
    rig.clock.Set(applied + 55000);
    EXPECT_EQ(kStatusOk, Read(120, &value));
    rig.clock.Set(applied + 57000);
    EXPECT_EQ(kStatusReadError, Read(120, &value));
    EXPECT_EQ(9, value);
    RegisterRequest w = Request(kTypeM, 5, 121);
    RegisterValue v = IntValue(3);
    EXPECT_EQ(1, station.Write(nullptr, &w, &v));
    Report(NetworkNow(), 9, 3);
    EXPECT_EQ(kStatusOk, Read(120, &value));

    // A poll the modem does not answer, or whose listing it refuses, fails
    // the reads it answers for, until the group's next poll is answered.
    modem.silent = true;
    EXPECT_EQ(kStatusReadError, Read(120, &value));
    RegisterRequest r = Request(kTypeM, 5, 121);
    EXPECT_EQ(0, station.Read(nullptr, &r, &v));  // no poll: the same group within 3 s
    modem.silent = false;
    EXPECT_EQ(kStatusOk, Read(120, &value));
    const auto modemAnswers = rig.port->onWrite;
    rig.port->onWrite = [](ScriptedPort& port, const std::string&) { port.Arrive("\r\n+CMS ERROR: 310\r\n", 20); };
    EXPECT_EQ(kStatusReadError, Read(120, &value));
    rig.port->onWrite = modemAnswers;
    EXPECT_EQ(kStatusOk, Read(120, &value));

    const std::string trace = ReadWholeFile(path);
    for (const char* why : {"read failed: site 6 silent: no report of it applied in the 61 s since the station "
                            "began (stale after 60 s)",
                            "read failed: site 5 silent: no report of it applied for 60 s (stale after 60 s)",
                            "read failed: the poll for it failed"}) {
        EXPECT_NE(std::string::npos, trace.find(why)) << why << "\n" << trace;
    }
    std::remove(path.c_str());
}

}  // namespace
}  // namespace kelvora::testing
