// CentralStation: polling, reports, writes and numbers, against a fake modem
// on a scripted port and a fake clock.
#include "stations/central_station.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

#include "modem/gsm_modem.h"
#include "platform/trace_sink.h"
#include "station_fixture.h"
#include "support/file_text.h"

namespace kelvora::testing {
namespace {

const char kReport3At10[] = "BEGINRM0301000000001000000020000000300000004FFFFFFFFEND";

// A report of five equal values, written out here rather than by the frame code.
std::string ReportText(const char* siteAndFirst, uint32_t value) {
    char field[9];
    std::snprintf(field, sizeof field, "%08X", value);
    std::string text = std::string("BEGINRM") + siteAndFirst;
    for (int i = 0; i < 5; ++i) text += field;
    return text + "END";
}

class CentralStationTest : public ::testing::Test {
protected:
    StationRig<CentralStation> rig;
    CentralStation& station = *rig;
    FakeModem& modem = *rig.modem;

    RegisterValue ReadM(int32_t site, int16_t address, int16_t bit = 0, int16_t dataType = kDataInt) {
        RegisterRequest r = Request(kTypeM, site, address, bit, dataType);
        RegisterValue v = Marked();
        EXPECT_EQ(1, station.Read(nullptr, &r, &v));
        return v;
    }
    int32_t TryWriteM(int32_t site, int16_t address, RegisterValue v, int16_t dataType = kDataInt, int16_t bit = 0) {
        RegisterRequest r = Request(kTypeM, site, address, bit, dataType);
        return station.Write(nullptr, &r, &v);
    }
    void WriteM(int32_t site, int16_t address, RegisterValue v, int16_t dataType = kDataInt, int16_t bit = 0) {
        EXPECT_EQ(1, TryWriteM(site, address, v, dataType, bit));
    }
    void WriteText(int16_t type, int32_t site, const std::string& text) {
        RegisterRequest r = Request(type, site, 0, 0, kDataText);
        RegisterValue v = TextValue(text);
        EXPECT_EQ(1, station.Write(nullptr, &r, &v));
    }
    uint32_t Image(int site, int address) const { return station.image[site][address].value; }
};

TEST_F(CentralStationTest, FirstReadOfAGroupPollsAfterAPauseUnlessTheTickCountIsStillLow) {
    ReadM(5, 120);
    EXPECT_EQ(1, modem.listings);
    EXPECT_EQ(1u, rig.clock.CountSleeps(1000));

    StationRig<CentralStation> early;
    early.clock.Set(2000);  // less than 3000 ms since the (zero) last poll tick
    RegisterRequest r = Request(kTypeM, 5, 120);
    RegisterValue v{};
    early->Read(nullptr, &r, &v);
    EXPECT_EQ(0, early.modem->listings);
}

TEST_F(CentralStationTest, PollsAtMostOncePerThreeSecondsForEachSiteAndGroup) {
    const uint32_t start = rig.clock.Now();
    ReadM(5, 120);
    ReadM(5, 124);  // same group, within 3000 ms
    EXPECT_EQ(1, modem.listings);
    ReadM(5, 125);  // next group
    EXPECT_EQ(2, modem.listings);
    ReadM(6, 120);  // same group of another site
    EXPECT_EQ(3, modem.listings);

    rig.clock.Set(start + 2999);
    ReadM(5, 121);
    EXPECT_EQ(3, modem.listings);
    rig.clock.Set(start + 3000);
    ReadM(5, 121);
    EXPECT_EQ(4, modem.listings);
}

TEST_F(CentralStationTest, StationWidePollListsOnceForEverySiteAndGroupWithinThreeSeconds) {
    station.pollScope = PollScope::kStation;
    modem.Receive("8613800000003", kReport3At10);
    modem.Receive("8613800000020", ReportText("20500", 7));
    const uint32_t start = rig.clock.Now();
    ReadM(5, 120);
    EXPECT_EQ(1, modem.listings);
    EXPECT_EQ(1u, rig.clock.CountSleeps(1000));
    EXPECT_TRUE(modem.store.empty());

    // The poll's age counts from its listing, after the pause: a report that
    // came later is listed by a read 3000 ms after it came.
    const uint32_t listed = start + 1000;
    rig.clock.Set(listed + 2999);  // other sites and groups answer from the image the one poll filled
    EXPECT_EQ(4, ReadM(3, 13).intValue);
    EXPECT_EQ(7, ReadM(20, 504).intValue);
    modem.Receive("8613800000006", ReportText("06300", 9));
    ReadM(6, 300);
    EXPECT_EQ(1, modem.listings);
    rig.clock.Set(listed + 3000);
    EXPECT_EQ(9, ReadM(6, 300).intValue);
    EXPECT_EQ(2, modem.listings);
}

TEST_F(CentralStationTest, PollIntervalSurvivesTheTickCountWrappingAround) {
    rig.clock.Set(0xFFFFFC00u);
    ReadM(5, 120);
    ASSERT_EQ(1, modem.listings);
    rig.clock.Set(0x00000400u);  // 2048 ms later, across the wrap
    ReadM(5, 120);
    EXPECT_EQ(1, modem.listings);
    rig.clock.Set(0x000007B7u);  // 2999 ms
    ReadM(5, 120);
    EXPECT_EQ(1, modem.listings);
    rig.clock.Set(0x000007B8u);  // 3000 ms
    ReadM(5, 120);
    EXPECT_EQ(2, modem.listings);
}

TEST_F(CentralStationTest, AppliesReportsForAnySiteAndDeletesEveryListedMessage) {
    const int32_t report = modem.Receive("8613800000003", kReport3At10);
    const int32_t chatter = modem.Receive("8613800000009", "hello");
    const int32_t command = modem.Receive("8613800000009", "BEGINWM051200000002AEND");
    modem.ReceiveAt(200, "8613800000009", ReportText("32010", 1));
    modem.ReceiveAt(201, "8613800000009", ReportText("-1010", 1));

    const RegisterValue v = ReadM(5, 120);  // another site's register
    EXPECT_EQ(0, v.intValue);
    EXPECT_EQ(1u, Image(3, 10));
    EXPECT_EQ(2u, Image(3, 11));
    EXPECT_EQ(3u, Image(3, 12));
    EXPECT_EQ(4u, Image(3, 13));
    EXPECT_EQ(0xFFFFFFFFu, Image(3, 14));
    EXPECT_EQ(0u, Image(3, 15));
    EXPECT_EQ(0u, Image(5, 120));  // the stray write command changed nothing
    EXPECT_EQ((std::vector<int32_t>{report, chatter, command, 200, 201}), modem.deleted);
    EXPECT_TRUE(modem.store.empty());

    // Reading a reported register within its poll interval answers from the image.
    const RegisterValue w = ReadM(3, 14);
    EXPECT_EQ(-1, w.intValue);
}

TEST_F(CentralStationTest, DropsReportsWhoseGroupWouldPassAddress1000) {
    modem.Receive("8613800000003", ReportText("03997", 1));
    ReadM(5, 120);
    for (int a = 995; a <= 1000; ++a) EXPECT_EQ(0u, Image(3, a)) << a;
    for (int a = 0; a < 5; ++a) EXPECT_EQ(0u, Image(4, a)) << a;  // the next site's registers
    EXPECT_EQ(1u, modem.deleted.size());

    modem.Receive("8613800000003", ReportText("03996", 1));
    ReadM(5, 125);
    EXPECT_EQ(1u, Image(3, 996));
    EXPECT_EQ(1u, Image(3, 1000));
    EXPECT_EQ(0u, Image(4, 0));
}

TEST_F(CentralStationTest, SenderCheckAppliesOnlyReportsFromTheSitesNumber) {
    WriteText(kTypeDetc, 3, "013800138003");  // trunk prefix, no country code
    modem.Receive("8613800138003", kReport3At10);
    modem.Receive("8613800138999", ReportText("03010", 0x11));
    modem.Receive("Kelvora", ReportText("03010", 0x22), true);
    // Site 4 has no number: every sender is accepted, as before.
    modem.Receive("8613800138999", ReportText("04020", 7));

    ReadM(5, 120);
    EXPECT_EQ(1u, Image(3, 10));
    EXPECT_EQ(0xFFFFFFFFu, Image(3, 14));
    EXPECT_EQ(7u, Image(4, 20));
    EXPECT_EQ(4u, modem.deleted.size());  // the refused ones are deleted all the same
}

TEST_F(CentralStationTest, DetcWithoutDigitsAcceptsNoReport) {
    WriteText(kTypeDetc, 3, "central");
    modem.Receive("8613800138003", kReport3At10);
    ReadM(5, 120);
    EXPECT_EQ(0u, Image(3, 10));
    EXPECT_EQ(1u, modem.deleted.size());
}

TEST_F(CentralStationTest, WriteStoresAtOnceAndSendsTheCommandAfterAPause) {
    WriteText(kTypeDetc, 5, "+8613900000005");
    const uint32_t start = rig.clock.Now();
    WriteM(5, 120, IntValue(42), kDataInt);

    EXPECT_EQ(42u, Image(5, 120));
    EXPECT_EQ(0u, station.image[5][120].lastPollTick);
    ASSERT_EQ(1u, modem.sent.size());
    EXPECT_TRUE(modem.sent[0].ok);
    EXPECT_EQ("BEGINWM051200000002AEND", modem.sent[0].text);
    EXPECT_EQ("8613900000005", modem.sent[0].destination);
    EXPECT_EQ(std::string(kDefaultServiceCentre + 1), modem.sent[0].serviceCentre);
    EXPECT_EQ(1u, rig.clock.CountSleeps(1000));
    EXPECT_GE(modem.sendTicks[0] - start, 1000u);

    // A read right after the write answers the written value (no report came).
    rig.clock.Advance(5000);
    EXPECT_EQ(42, ReadM(5, 120).intValue);
}

TEST_F(CentralStationTest, BitWritesSetOrClearOneBitAndSendTheWholeRegister) {
    WriteText(kTypeDetc, 5, "+8613900000005");
    WriteM(5, 120, IntValue(0x100));
    RegisterValue v{};
    v.bitValue = 1;
    WriteM(5, 120, v, kDataBit, 3);
    EXPECT_EQ(0x108u, Image(5, 120));
    ASSERT_EQ(2u, modem.sent.size());
    EXPECT_EQ("BEGINWM0512000000108END", modem.sent[1].text);

    rig.clock.Advance(5000);
    EXPECT_EQ(1, ReadM(5, 120, 3, kDataBit).bitValue);
    EXPECT_EQ(1, ReadM(5, 120, 8 + 32, kDataBit).bitValue);  // bit number taken modulo 32
    EXPECT_EQ(0, ReadM(5, 120, 4, kDataBit).bitValue);

    v.bitValue = 2;  // anything but 1 clears
    WriteM(5, 120, v, kDataBit, 3);
    EXPECT_EQ(0x100u, Image(5, 120));
    v.bitValue = 1;
    WriteM(5, 120, v, kDataBit, 31);
    EXPECT_EQ(0x80000100u, Image(5, 120));
    v.bitValue = 0;
    WriteM(5, 120, v, kDataBit, 8);
    EXPECT_EQ(0x80000000u, Image(5, 120));
}

TEST_F(CentralStationTest, ABitWriteWaitsUntilTheRegistersValueIsKnown) {
    WriteText(kTypeDetc, 5, "+8613900000005");
    RegisterValue bit{};
    bit.bitValue = 1;
    EXPECT_EQ(0, TryWriteM(5, 120, bit, kDataBit, 3));  // the site may hold 3: sending 8 would clear it
    EXPECT_EQ(kStatusWriteError, station.status.Code());
    EXPECT_EQ(0u, Image(5, 120));
    EXPECT_TRUE(modem.sent.empty());

    modem.Receive("8613900000005", ReportText("05120", 3));
    ReadM(5, 120);
    WriteM(5, 120, bit, kDataBit, 3);
    ASSERT_EQ(1u, modem.sent.size());
    EXPECT_EQ("BEGINWM051200000000BEND", modem.sent[0].text);

    EXPECT_EQ(0, TryWriteM(5, 125, bit, kDataBit, 0));
    WriteM(5, 125, IntValue(0x10));  // written whole by the host
    WriteM(5, 125, bit, kDataBit, 0);
    EXPECT_EQ(0x11u, Image(5, 125));
}

TEST_F(CentralStationTest, AReportSentBeforeOneAppliedIsNotAppliedAtALaterPoll) {
    modem.Receive("8613800000003", ReportText("03010", 1), false, "23110612345032");
    ReadM(3, 10);
    modem.Receive("8613800000003", ReportText("03010", 2), false, "23110612350032");
    rig.clock.Advance(3000);
    EXPECT_EQ(2, ReadM(3, 10).intValue);
    // The network delivers the first one again, and another sent before the second.
    modem.Receive("8613800000003", ReportText("03010", 1), false, "23110612345032");
    modem.Receive("8613800000003", ReportText("03010", 7), false, "23110612345532");
    rig.clock.Advance(3000);
    EXPECT_EQ(2, ReadM(3, 10).intValue);
    EXPECT_TRUE(modem.store.empty());
}

TEST_F(CentralStationTest, WordAndFloatWritesKeepTheirBits) {
    WriteText(kTypeDetc, 5, "+8613900000005");
    RegisterValue v = Marked();
    v.wordValue = 0xFFFF;
    WriteM(5, 120, v, kDataWord);
    EXPECT_EQ(0x0000FFFFu, Image(5, 120));

    v = Marked();
    v.floatValue = 1.0f;
    WriteM(5, 121, v, kDataFloat);
    EXPECT_EQ(0x3F800000u, Image(5, 121));
    const RegisterValue r = ReadM(5, 121, 0, kDataFloat);
    EXPECT_EQ(1.0f, r.floatValue);
    EXPECT_EQ(0x3F800000, r.intValue);
    EXPECT_EQ(0, r.wordValue);
    EXPECT_EQ(0, r.bitValue);
}

TEST_F(CentralStationTest, WriteToAddress1000SendsTheLongCommand) {
    WriteText(kTypeDetc, 5, "+8613900000005");
    WriteM(5, 1000, IntValue(1));
    EXPECT_EQ(1u, Image(5, 1000));
    ASSERT_EQ(1u, modem.sent.size());
    EXPECT_EQ("BEGINWM05100000000001END", modem.sent[0].text);
}

TEST_F(CentralStationTest, WriteWithoutDestinationFailsAndKeepsTheImage) {
    station.image[5][120].value = 7;
    EXPECT_EQ(0, TryWriteM(5, 120, IntValue(42)));
    EXPECT_EQ(kStatusWriteError, station.status.Code());
    EXPECT_EQ(7u, Image(5, 120));
    EXPECT_TRUE(rig.port->written.empty());
}

TEST_F(CentralStationTest, SendMsgSendsTheTextAsItIsAndReadsNothing) {
    WriteText(kTypeDetc, 7, "8613900000007");
    WriteText(kTypeSendMsg, 7, "");
    EXPECT_TRUE(rig.port->written.empty());
    WriteText(kTypeSendMsg, 7, "Pump 3: check the valve");
    ASSERT_EQ(1u, modem.sent.size());
    EXPECT_EQ("Pump 3: check the valve", modem.sent[0].text);
    EXPECT_EQ("8613900000007", modem.sent[0].destination);

    RegisterRequest r = Request(kTypeSendMsg, 7, 0, 0, kDataText);
    RegisterValue v = Marked();
    const RegisterValue before = v;
    EXPECT_EQ(1, station.Read(nullptr, &r, &v));
    EXPECT_EQ(0, std::memcmp(&before, &v, sizeof v));
}

// A free text that a site would apply as a write command, or the centre as a
// report, is not sent; nor is one that fills the host's whole field (cut to
// the 130 bytes a message takes, it would say less than was written).
TEST_F(CentralStationTest, AFreeTextThatReadsAsAFrameOrFillsTheFieldIsNotSent) {
    const std::string path = "free_text_refused.trace";
    std::remove(path.c_str());
    station.trace.Attach(TraceSink::Open(path));
    WriteText(kTypeDetc, 5, "+8613900000005");
    std::string chinese;  // 65 Chinese characters: 130 bytes in GBK
    for (int i = 0; i < 65; ++i) chinese += "\xB2\xE2";
    RegisterRequest r = Request(kTypeSendMsg, 5, 0, 0, kDataText);
    for (const std::string& text : {std::string("BEGINWM0512000000009END"), std::string(kReport3At10), chinese + "x"}) {
        RegisterValue v = TextValue(text);
        EXPECT_EQ(0, station.Write(nullptr, &r, &v)) << text;
        EXPECT_EQ(kStatusWriteError, station.status.Code());
    }
    EXPECT_TRUE(modem.sent.empty());
    WriteText(kTypeSendMsg, 5, chinese);
    EXPECT_EQ(1u, modem.sent.size());
    const std::string refused = "send \"BEGINWM0512000000009END\" to \"+8613900000005\": not sent: ";
    EXPECT_NE(std::string::npos,
              ReadWholeFile(path).find(refused + RefusalText(SendRefusal::kTextReadsAsAFrame)));
    std::remove(path.c_str());
}

TEST_F(CentralStationTest, NumbersStartPresetAndAreStoredBoundedAndTerminated) {
    RegisterRequest r = Request(kTypeSmsc, 7, 0, 0, kDataText);
    RegisterValue v = Marked();
    station.Read(nullptr, &r, &v);
    EXPECT_STREQ(kDefaultServiceCentre, v.textValue);
    r.typeIndex = kTypeDetc;
    v = Marked();
    station.Read(nullptr, &r, &v);
    for (size_t i = 0; i < sizeof v.textValue; ++i) ASSERT_EQ(0, v.textValue[i]) << i;

    // 131 characters and no NUL from the host: 130 are kept, then a NUL.
    RegisterValue full{};
    std::memset(full.textValue, '7', sizeof full.textValue);
    r = Request(kTypeDetc, 7, 0, 0, kDataText);
    station.Write(nullptr, &r, &full);
    EXPECT_EQ(std::string(130, '7'), std::string(station.numbers[7].detc));
    EXPECT_STREQ(kDefaultServiceCentre, station.numbers[7].smsc);
    EXPECT_EQ(0, station.numbers[8].detc[0]);
    v = Marked();
    station.Read(nullptr, &r, &v);
    EXPECT_EQ(std::string(130, '7'), std::string(v.textValue));

    // Another data type leaves the number alone.
    RegisterValue other = TextValue("+8613000000000");
    r = Request(kTypeSmsc, 7, 0, 0, kDataInt);
    station.Write(nullptr, &r, &other);
    EXPECT_STREQ(kDefaultServiceCentre, station.numbers[7].smsc);
}

TEST_F(CentralStationTest, AWriteTheModemDidNotAcceptFailsAndKeepsTheImage) {
    WriteText(kTypeDetc, 5, "+8613900000005");
    WriteText(kTypeDetc, 6, "+8613900000006");
    station.image[5][120].value = 7;

    modem.refuseSubmissions = 500;  // the network refuses: answered at once
    uint32_t start = rig.clock.Now();
    EXPECT_EQ(0, TryWriteM(5, 120, IntValue(42)));
    EXPECT_EQ(kStatusWriteError, station.status.Code());
    EXPECT_LT(rig.clock.Now() - start, 1100u);  // the pause and the answer, no time-out
    EXPECT_EQ(7u, Image(5, 120));
    RegisterRequest sendMsg = Request(kTypeSendMsg, 6, 0, 0, kDataText);
    RegisterValue text = TextValue("hello");
    EXPECT_EQ(0, station.Write(nullptr, &sendMsg, &text));
    EXPECT_EQ(kStatusWriteError, station.status.Code());
    modem.refuseSubmissions = 0;

    rig.port->writeResult = 31;  // the port fails
    EXPECT_EQ(0, TryWriteM(5, 120, IntValue(43)));
    EXPECT_EQ(kStatusWriteError, station.status.Code());
    rig.port->writeResult = 0;

    modem.silent = true;  // no answer at all
    start = rig.clock.Now();
    EXPECT_EQ(0, TryWriteM(5, 120, IntValue(44)));
    EXPECT_EQ(kStatusTimeout, station.status.Code());
    EXPECT_EQ(7u, Image(5, 120));

    // Reads answer from the image whatever the modem does.
    modem.Receive("8613800000003", kReport3At10);
    EXPECT_EQ(7, ReadM(5, 120).intValue);
    EXPECT_EQ(kStatusOk, station.status.Code());
    EXPECT_EQ(0u, Image(3, 10));
}

TEST_F(CentralStationTest, RequestsOutsideTheImageTouchNothing) {
    RegisterValue v = Marked();
    const RegisterValue before = v;
    for (RegisterRequest r : {Request(kTypeM, 32, 0), Request(kTypeM, -1, 0), Request(kTypeM, 0, 1001),
                              Request(kTypeM, 0, -5), Request(kTypeSmsc, 40, 0, 0, kDataText)}) {
        EXPECT_EQ(1, station.Read(nullptr, &r, &v));
        EXPECT_EQ(1, station.Write(nullptr, &r, &v));
    }
    EXPECT_EQ(0, std::memcmp(&before, &v, sizeof v));
    EXPECT_EQ(0, modem.listings);
    EXPECT_TRUE(rig.port->written.empty());
}

}  // namespace
}  // namespace kelvora::testing
