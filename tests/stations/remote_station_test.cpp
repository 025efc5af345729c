// RemoteStation: write commands picked up in reads, reports, conversions and
// numbers, against a fake modem on a scripted port and a fake clock.
#include "stations/remote_station.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "modem/gsm_modem.h"
#include "station_fixture.h"

namespace kelvora::testing {
namespace {

const char kCentral[] = "8613800138000";

class RemoteStationTest : public ::testing::Test {
protected:
    StationRig<RemoteStation> rig;
    RemoteStation& station = *rig;
    FakeModem& modem = *rig.modem;
    int32_t own = 5;

    RegisterValue ReadM(int32_t address, int16_t dataType = kDataInt) {
        RegisterRequest r = Request(kTypeM, address, 0, 0, dataType);
        RegisterValue v = Marked();
        EXPECT_EQ(1, station.Read(&own, &r, &v));
        EXPECT_EQ(0u, station.status.Code());
        return v;
    }
    void WriteM(int32_t address, RegisterValue v, int16_t dataType = kDataInt) {
        RegisterRequest r = Request(kTypeM, address, 0, 0, dataType);
        EXPECT_EQ(1, station.Write(&own, &r, &v));
    }
    void Write(int16_t type, RegisterValue v, int16_t dataType = kDataText) {
        RegisterRequest r = Request(type, 0, 0, 0, dataType);
        EXPECT_EQ(1, station.Write(&own, &r, &v));
    }
    uint32_t Image(int address) const { return station.image[address].value; }
};

TEST_F(RemoteStationTest, WriteCommandForThisSiteIsAppliedInTheReadThatPolls) {
    station.image[25].value = 77;
    const int32_t mine = modem.Receive(kCentral, "BEGINWM0502700001A2BEND");
    const int32_t other = modem.Receive(kCentral, "BEGINWM0602700005555END");

    EXPECT_EQ(77, ReadM(25).intValue);  // the register read keeps its old value
    EXPECT_EQ(0x1A2Bu, Image(27));
    EXPECT_EQ((std::vector<int32_t>{mine, other}), modem.deleted);
    EXPECT_EQ(0u, rig.clock.CountSleeps(1000));  // no pause before the listing

    const RegisterValue v = ReadM(27);  // same group, within 3000 ms: no poll
    EXPECT_EQ(1, modem.listings);
    EXPECT_EQ(0x1A2B, v.intValue);
    EXPECT_EQ(0x1A2B, v.bitValue);
    EXPECT_EQ(0x1A2B, v.wordValue);
    EXPECT_EQ(6699.0f, v.floatValue);
}

TEST_F(RemoteStationTest, LaterCommandsWinAndEverythingListedIsDeleted) {
    modem.Receive(kCentral, "BEGINWM0512000000001END");
    modem.Receive(kCentral, "hello");
    modem.Receive(kCentral, "BEGINWM0512000000002END");
    modem.Receive(kCentral, "BEGINWM05100000000003END");  // address 1000: 24 characters
    modem.Receive(kCentral, "BEGINwm0512100000009END");
    modem.ReceiveAt(300, kCentral, "BEGINRM0301000000001000000020000000300000004FFFFFFFFEND");
    ReadM(120);
    EXPECT_EQ(2u, Image(120));
    EXPECT_EQ(0u, Image(121));
    EXPECT_EQ(0u, Image(1000));
    EXPECT_EQ(6u, modem.deleted.size());
    EXPECT_EQ(300, modem.deleted.back());
    EXPECT_TRUE(modem.store.empty());
}

TEST_F(RemoteStationTest, ACommandSentBeforeOneAppliedIsNotAppliedAtALaterPoll) {
    auto poll = [this](uint32_t value, const char* sent) {
        modem.Receive(kCentral, "BEGINWM05120" + std::string(8 - std::to_string(value).size(), '0') +
                                    std::to_string(value) + "END", false, sent);
        rig.clock.Advance(3000);
        ReadM(120);
        return Image(120);
    };
    EXPECT_EQ(2u, poll(2, "23110612350032"));  // 12:35:00
    EXPECT_EQ(2u, poll(1, "23110612345032"));  // sent ten seconds before it, delivered after
    // Ten minutes or more before: the service centre's clock was set back,
    // and the command's time becomes the last.
    EXPECT_EQ(3u, poll(3, "23110612250032"));
    EXPECT_EQ(4u, poll(4, "23110612251032"));
    EXPECT_EQ(4u, poll(5, "23110612250532"));
    EXPECT_EQ(6u, poll(6, "23110612990032"));  // no readable time: applied, the last stays
    EXPECT_EQ(6u, poll(7, "23110612250532"));
    EXPECT_TRUE(modem.store.empty());
}

TEST_F(RemoteStationTest, AFullStoreIsEmptiedOneListingAtATime) {
    for (int i = 0; i < 130; ++i) modem.Receive(kCentral, "noise " + std::to_string(i));
    modem.Receive(kCentral, "BEGINWM0512000000001END");  // listed only by the second poll
    ReadM(120);
    EXPECT_EQ(128u, modem.deleted.size());
    EXPECT_EQ(3u, modem.store.size());
    EXPECT_EQ(0u, Image(120));
    rig.clock.Advance(3000);
    ReadM(120);
    EXPECT_TRUE(modem.store.empty());
    EXPECT_EQ(1u, Image(120));
}

TEST_F(RemoteStationTest, PollsOncePerThreeSecondsPerGroupAcrossTheWrap) {
    rig.clock.Set(0xFFFFFC00u);
    ReadM(10);
    ReadM(14);
    EXPECT_EQ(1, modem.listings);
    ReadM(15);
    EXPECT_EQ(2, modem.listings);
    rig.clock.Set(0xFFFFFC00u + 2999u);
    ReadM(10);
    EXPECT_EQ(2, modem.listings);
    rig.clock.Set(0xFFFFFC00u + 3000u);  // past the wrap
    ReadM(10);
    EXPECT_EQ(3, modem.listings);
}

TEST_F(RemoteStationTest, ReportsTheGroupReadWhileComFlagIsSet) {
    own = 3;
    const uint32_t values[] = {1, 2, 3, 4, 0xFFFFFFFF};
    for (int i = 0; i < 5; ++i) WriteM(10 + i, IntValue(static_cast<int32_t>(values[i])));
    Write(kTypeDetc, TextValue("+8613800138000"));
    Write(kTypeSmsc, TextValue("+8613800100500"));
    RegisterValue on{};
    on.bitValue = 1;
    Write(kTypeComFlag, on, kDataBit);

    ReadM(12);
    ASSERT_EQ(1u, modem.sent.size());
    EXPECT_TRUE(modem.sent[0].ok);
    EXPECT_EQ("BEGINRM0301000000001000000020000000300000004FFFFFFFFEND", modem.sent[0].text);
    EXPECT_EQ("8613800138000", modem.sent[0].destination);
    EXPECT_EQ("8613800100500", modem.sent[0].serviceCentre);
    EXPECT_EQ(1u, rig.clock.CountSleeps(1000));

    ReadM(13);  // the group was just polled: no second report
    EXPECT_EQ(1u, modem.sent.size());
    rig.clock.Advance(3000);
    ReadM(13);
    EXPECT_EQ(2u, modem.sent.size());
}

TEST_F(RemoteStationTest, NoReportWhileComFlagIsZero) {
    Write(kTypeDetc, TextValue(kCentral));
    for (int i = 0; i < 5; ++i) {
        ReadM(12);
        rig.clock.Advance(3000);
    }
    EXPECT_EQ(5, modem.listings);
    EXPECT_TRUE(modem.sent.empty());
    EXPECT_EQ(0u, rig.clock.CountSleeps(1000));
}

TEST_F(RemoteStationTest, NoReportForTheGroupAt1000) {
    Write(kTypeDetc, TextValue(kCentral));
    station.comFlag = 1;
    station.image[1000].value = 9;
    EXPECT_EQ(9, ReadM(1000).intValue);
    EXPECT_EQ(1, modem.listings);
    EXPECT_TRUE(modem.sent.empty());
    ReadM(995);  // the last full group is reported
    ASSERT_EQ(1u, modem.sent.size());
    EXPECT_EQ(55u, modem.sent[0].text.size());
}

TEST_F(RemoteStationTest, SenderCheckAcceptsOnlyTheCentralNumber) {
    Write(kTypeDetc, TextValue("+86 138-0013-8000"));
    modem.Receive("8613800138000", "BEGINWM0512000000001END");
    modem.Receive("8613999999999", "BEGINWM0512100000002END");
    modem.Receive("Central", "BEGINWM0512200000003END", true);
    modem.Receive("13800138000", "BEGINWM0512300000004END");  // the same number, national form
    ReadM(120);
    EXPECT_EQ(1u, Image(120));
    EXPECT_EQ(0u, Image(121));
    EXPECT_EQ(0u, Image(122));
    EXPECT_EQ(4u, Image(123));
    EXPECT_EQ(4u, modem.deleted.size());
}

TEST_F(RemoteStationTest, SenderCheckOpenWhileDetcIsEmptyAndClosedWithoutDigits) {
    modem.Receive("Central", "BEGINWM0512000000001END", true);
    ReadM(120);
    EXPECT_EQ(1u, Image(120));

    Write(kTypeDetc, TextValue("centre"));
    modem.Receive(kCentral, "BEGINWM0512500000001END");
    ReadM(125);
    EXPECT_EQ(0u, Image(125));
    EXPECT_EQ(2u, modem.deleted.size());
}

TEST_F(RemoteStationTest, ConvertsEachDataTypeOnWriteAndRead) {
    RegisterValue v = Marked();
    v.bitValue = 5;  // the whole number, not one bit
    WriteM(100, v, kDataBit);
    EXPECT_EQ(5u, Image(100));
    EXPECT_EQ(5, ReadM(100, kDataBit).bitValue);

    v = Marked();
    v.wordValue = 0xFFFF;
    WriteM(101, v, kDataWord);
    EXPECT_EQ(0xFFFFu, Image(101));

    v = Marked();
    v.floatValue = 2.9f;
    WriteM(102, v, kDataFloat);
    EXPECT_EQ(2u, Image(102));
    EXPECT_EQ(2.0f, ReadM(102, kDataFloat).floatValue);

    v.floatValue = -1.5f;
    WriteM(103, v, kDataFloat);
    EXPECT_EQ(0xFFFFFFFFu, Image(103));
    const RegisterValue r = ReadM(103, kDataFloat);
    EXPECT_EQ(4294967296.0f, r.floatValue);  // read back as an unsigned number
    EXPECT_EQ(-1, r.intValue);
    EXPECT_EQ(0xFFFF, r.wordValue);
}

TEST_F(RemoteStationTest, WithoutASiteNumberNoCommandIsApplied) {
    // A frame's site field reads "-1" or "40" as well as "05": a station that
    // was given no device address, or one outside 0 to 31, owns no site.
    modem.Receive(kCentral, "BEGINWM-112000000001END");
    RegisterRequest r = Request(kTypeM, 120);
    RegisterValue v{};
    EXPECT_EQ(1, station.Read(nullptr, &r, &v));
    EXPECT_EQ(0u, Image(120));

    own = -1;
    modem.Receive(kCentral, "BEGINWM-112500000002END");
    ReadM(125);
    EXPECT_EQ(0u, Image(125));

    own = 40;
    modem.Receive(kCentral, "BEGINWM4013000000003END");
    ReadM(130);
    EXPECT_EQ(0u, Image(130));
    EXPECT_EQ(3u, modem.deleted.size());  // deleted all the same
    EXPECT_TRUE(modem.store.empty());
}

TEST(FloatToRegisterTest, TruncatesToSixtyFourBitsAndKeepsTheLowHalf) {
    EXPECT_EQ(2u, FloatToRegister(2.9f));
    EXPECT_EQ(0xFFFFFFFFu, FloatToRegister(-1.5f));
    EXPECT_EQ(0u, FloatToRegister(-0.9f));
    EXPECT_EQ(0xFFFFFFFEu, FloatToRegister(-2.5f));
    EXPECT_EQ(3000000000u, FloatToRegister(3.0e9f));          // beyond int32, within uint32
    EXPECT_EQ(512u, FloatToRegister(4294967808.0f));          // 2^32 + 512
    EXPECT_EQ(0u, FloatToRegister(8589934592.0f));            // 2^33
    EXPECT_EQ(0u, FloatToRegister(-9223372036854775808.0f));  // -2^63, low half 0
    EXPECT_EQ(0u, FloatToRegister(1.0e30f));
    EXPECT_EQ(0u, FloatToRegister(-1.0e30f));
    EXPECT_EQ(0u, FloatToRegister(std::numeric_limits<float>::infinity()));
    EXPECT_EQ(0u, FloatToRegister(std::numeric_limits<float>::quiet_NaN()));
}

TEST_F(RemoteStationTest, SendMsgComFlagAndNumbers) {
    Write(kTypeSendMsg, TextValue(""));
    EXPECT_TRUE(rig.port->written.empty());
    Write(kTypeDetc, TextValue(kCentral));
    Write(kTypeSendMsg, TextValue("Tank 2 low"));
    ASSERT_EQ(1u, modem.sent.size());
    EXPECT_EQ("Tank 2 low", modem.sent[0].text);
    EXPECT_EQ(std::string(kDefaultServiceCentre + 1), modem.sent[0].serviceCentre);

    RegisterRequest r = Request(kTypeSendMsg, 0, 0, 0, kDataText);
    RegisterValue v = Marked();
    const RegisterValue before = v;
    station.Read(&own, &r, &v);
    EXPECT_EQ(0, std::memcmp(&before, &v, sizeof v));

    RegisterValue flag{};
    flag.bitValue = static_cast<int32_t>(0x80000000u);
    Write(kTypeComFlag, flag, kDataInt);  // whatever the data type
    EXPECT_EQ(0x80000000u, station.comFlag);
    r = Request(kTypeComFlag, 0, 0, 0, kDataBit);
    v = Marked();
    station.Read(&own, &r, &v);
    EXPECT_EQ(static_cast<int32_t>(0x80000000u), v.bitValue);

    r = Request(kTypeSmsc, 0, 0, 0, kDataText);
    v = Marked();
    station.Read(&own, &r, &v);
    EXPECT_STREQ(kDefaultServiceCentre, v.textValue);

    RegisterValue full{};
    std::memset(full.textValue, '1', sizeof full.textValue);
    Write(kTypeDetc, full);
    EXPECT_EQ(std::string(130, '1'), std::string(station.numbers.detc));
    EXPECT_STREQ(kDefaultServiceCentre, station.numbers.smsc);
    Write(kTypeDetc, TextValue("123"), kDataInt);  // another data type: ignored
    EXPECT_EQ(std::string(130, '1'), std::string(station.numbers.detc));
}

TEST_F(RemoteStationTest, AFreeTextNotAcceptedFailsTheWriteButAReportNeverFailsARead) {
    RegisterRequest r = Request(kTypeSendMsg, 0, 0, 0, kDataText);
    RegisterValue text = TextValue("Tank 2 low");
    EXPECT_EQ(0, station.Write(&own, &r, &text));  // no DETC yet
    EXPECT_EQ(kStatusWriteError, station.status.Code());

    Write(kTypeDetc, TextValue(kCentral));
    modem.refuseSubmissions = 38;
    EXPECT_EQ(0, station.Write(&own, &r, &text));
    EXPECT_EQ(kStatusWriteError, station.status.Code());
    modem.refuseSubmissions = 0;
    modem.silent = true;
    EXPECT_EQ(0, station.Write(&own, &r, &text));
    EXPECT_EQ(kStatusTimeout, station.status.Code());

    station.comFlag = 1;  // the report of this read goes unanswered: the read still succeeds
    ReadM(10);
    rig.port->writeResult = 31;
    rig.clock.Advance(3000);
    ReadM(10);
}

TEST_F(RemoteStationTest, BadRequestsNeverReachTheHost) {

    rig.port->writeResult = 0;
    const size_t before = rig.port->written.size();
    RegisterValue v = Marked();
    const RegisterValue marked = v;
    for (int32_t address : {1001, -1, 100000}) {
        RegisterRequest r = Request(kTypeM, address);
        EXPECT_EQ(1, station.Read(&own, &r, &v));
        EXPECT_EQ(1, station.Write(&own, &r, &v));
    }
    EXPECT_EQ(0, std::memcmp(&marked, &v, sizeof v));
    EXPECT_EQ(before, rig.port->written.size());

    // A read without a device address applies no command and sends no report.
    modem.Receive(kCentral, "BEGINWM0512000000001END");
    RegisterRequest r = Request(kTypeM, 120);
    EXPECT_EQ(1, station.Read(nullptr, &r, &v));
    EXPECT_EQ(0u, Image(120));
    EXPECT_TRUE(modem.sent.empty());
}

}  // namespace
}  // namespace kelvora::testing
