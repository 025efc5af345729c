// Keyed stations on the fake modem: a site applies only signed write
// commands whose code and counter check, refusing (deleted, counted, traced
// with the reason) the unsigned, the altered in any one character, the cut,
// the replayed, the reflected and another site's; a centre the same for
// reports; both sign what they send, as 7-bit SMS, and send nothing when
// their key cannot be used; a free text from a keyed peer is marked.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/secret_file.h"
#include "platform/trace_sink.h"
#include "played_rig.h"
#include "station_fixture.h"
#include "stations/central_station.h"
#include "stations/remote_station.h"
#include "stations/signed_frame.h"
#include "support/file_text.h"

namespace kelvora::testing {
namespace {

const char kCentre[] = "8613800138000";
const char kSite[] = "8613900000005";
const char kKeyText[] =
    "centre +8613800138000\nsite 13900000005\nkey 0102030405060708090A0B0C0D0E0F101112131415161718191A1B1C1D1E1F20\n";
const char kKeyHex[] = "0102030405060708090A0B0C0D0E0F101112131415161718191A1B1C1D1E1F20";
// Signed with that key (see keyed_frames_test.cpp).
const char kSignedCommand[] = "BEGINWM0502700001A2BEND#000000001000#11DE559F1C6962CF188B973A6DE055B7";
const char kSignedReport[] =
    "BEGINRM0501000000001000000020000000300000004FFFFFFFFEND#00000000002A#F53CCADBFD9F69CB1336ADA12931DFDC";

size_t Count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

template <class Station>
class KeyedStation : public ::testing::Test {
protected:
    void SetUp() override {
        folder = std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) + ".d";
        std::filesystem::remove_all(folder);
        std::filesystem::create_directory(folder);
        std::string why;
        ASSERT_TRUE(WriteSecretFile(folder + "/site5.key", kKeyText, false, &why)) << why;
        rig->trace.Attach(TraceSink::Open(folder + "/trace.log"));
        rig->keys.wallClock = [] { return int64_t{1700000000}; };
    }
    void TearDown() override {
        rig->trace.Attach(nullptr);
        std::filesystem::remove_all(folder);
    }
    std::string Trace() const { return ReadWholeFile(folder + "/trace.log"); }
    void Key(size_t peer) {
        std::string why;
        ASSERT_TRUE(rig->keys.Load(peer, folder + "/site5.key", &why)) << why;
    }
    void WriteText(int16_t type, int32_t site, const std::string& text) {
        RegisterRequest r = Request(type, site, 0, 0, kDataText);
        RegisterValue v = TextValue(text);
        EXPECT_EQ(1, rig->Write(nullptr, &r, &v));
    }

    StationRig<Station> rig;
    std::string folder;
};

using KeyedSite = KeyedStation<RemoteStation>;
using KeyedCentre = KeyedStation<CentralStation>;

TEST_F(KeyedSite, AppliesASignedCommandOnceAndRefusesEveryOtherShapeOfIt) {
    Key(0);
    WriteText(kTypeDetc, 0, "+8613800138000");
    FakeModem& modem = *rig.modem;
    const std::string good = kSignedCommand;
    modem.Receive(kCentre, good.substr(0, 23));                   // unsigned
    modem.Receive(kCentre, good.substr(0, good.size() - 1));      // cut short
    modem.Receive(kCentre, good.substr(0, 24) + "0000000010001" + good.substr(36));  // cut inside
    modem.Receive(kCentre, good.substr(0, 40) + "0" + good.substr(41));  // the code changed
    // Signed for the centre by the same key: the other direction.
    modem.Receive(kCentre, kSignedReport);
    int32_t own = 5;
    RegisterRequest m = Request(kTypeM, 25);
    RegisterValue value{};
    EXPECT_EQ(1, rig->Read(&own, &m, &value));
    EXPECT_EQ(0u, rig->image[27].value);
    EXPECT_EQ(5u, Count(Trace(), "refused by the key check: "));
    EXPECT_EQ(5u, modem.deleted.size());

    // Every one character changed, each a poll of its own: none applied.
    for (size_t i = 0; i < good.size(); ++i) {
        std::string altered = good;
        altered[i] = altered[i] == '0' ? '1' : '0';
        modem.Receive(kCentre, altered);
        rig.clock.Advance(3000);
        EXPECT_EQ(1, rig->Read(&own, &m, &value));
        EXPECT_EQ(0u, rig->image[27].value) << altered;
    }

    modem.Receive(kCentre, good);
    rig.clock.Advance(3000);
    EXPECT_EQ(1, rig->Read(&own, &m, &value));
    EXPECT_EQ(0x1A2Bu, rig->image[27].value);
    EXPECT_NE(std::string::npos, Trace().find("write command applied to M27 = 6699, authenticated"));

    // The same frame again later, by anyone: a replay, counted and traced.
    rig->image[27].value = 0;
    modem.Receive(kCentre, good, false, "23110612355032");
    rig.clock.Advance(3000);
    EXPECT_EQ(1, rig->Read(&own, &m, &value));
    EXPECT_EQ(0u, rig->image[27].value);
    EXPECT_NE(std::string::npos, Trace().find("a replay: its counter was accepted before"));
    EXPECT_NE(std::string::npos, Trace().find("refused by the key check 1"));  // in the poll's counts
    EXPECT_EQ(std::string::npos, Trace().find(kKeyHex));  // the key is never traced
}

TEST_F(KeyedSite, SignsItsReportsAs7BitAndMarksFreeTextsFromItsCentre) {
    Key(0);
    WriteText(kTypeDetc, 0, "+8613800138000");
    int32_t own = 5;
    RegisterRequest flag = Request(kTypeComFlag, 0, 0, 0, kDataBit);
    RegisterValue on{};
    on.bitValue = 1;
    EXPECT_EQ(1, rig->Write(&own, &flag, &on));
    rig.modem->Receive(kCentre, "Valve 2 stuck");
    RegisterRequest m = Request(kTypeM, 12);
    RegisterValue value{};
    EXPECT_EQ(1, rig->Read(&own, &m, &value));
    ASSERT_EQ(1u, rig.modem->sent.size());
    const SubmittedSms& report = rig.modem->sent[0];
    ASSERT_TRUE(report.ok);
    SignedFrame parts;
    ASSERT_EQ(SignedShape::kWhole, SplitSignedFrame(report.text.c_str(), &parts)) << report.text;
    EXPECT_EQ("BEGINRM05010" + std::string(40, '0') + "END", parts.frame);
    EXPECT_EQ(CounterFloor(1700000000), parts.counter);

    RegisterRequest sendMsg = Request(kTypeSendMsg, 0, 0, 0, kDataText);
    RegisterValue text{};
    EXPECT_EQ(1, rig->Read(&own, &sendMsg, &text));
    EXPECT_STREQ("[unauthenticated] Valve 2 stuck", text.textValue);
}

TEST_F(KeyedSite, WithAKeyThatCannotBeUsedNothingIsAppliedNorReported) {
    std::string why;
    ASSERT_TRUE(WriteSecretFile(folder + "/short.key", "centre 1\nsite 2\nkey 00112233\n", false, &why));
    EXPECT_FALSE(rig->keys.Load(0, folder + "/short.key", &why));
    int32_t own = 5;
    RegisterRequest flag = Request(kTypeComFlag, 0, 0, 0, kDataBit);
    RegisterValue on{};
    on.bitValue = 1;
    EXPECT_EQ(1, rig->Write(&own, &flag, &on));
    WriteText(kTypeDetc, 0, "+8613800138000");
    rig.modem->Receive(kCentre, "BEGINWM0502700001A2BEND");
    rig.modem->Receive(kCentre, kSignedCommand);
    RegisterRequest m = Request(kTypeM, 25);
    RegisterValue value{};
    EXPECT_EQ(1, rig->Read(&own, &m, &value));
    EXPECT_EQ(0u, rig->image[27].value);
    EXPECT_TRUE(rig.modem->sent.empty());
    EXPECT_EQ(2u, Count(Trace(), "refused by the key check: "));
    EXPECT_NE(std::string::npos, Trace().find("it needs an even number from 32 to 128"));
}

TEST_F(KeyedCentre, AppliesASignedReportOfAKeyedSiteAndPlainOnesOfTheOthers) {
    Key(5);
    WriteText(kTypeDetc, 5, "+8613900000005");
    WriteText(kTypeDetc, 6, "+8613900000006");
    FakeModem& modem = *rig.modem;
    modem.Receive(kSite, "BEGINRM0501000000009000000090000000900000009FFFFFFFFEND");  // unsigned: refused
    modem.Receive(kSite, kSignedReport);
    modem.Receive("8613900000006", "BEGINRM0600000000007000000070000000700000007FFFFFFFFEND");  // site 6 has no key
    // A signed command from the site's number: the other direction.
    modem.Receive(kSite, kSignedCommand);
    RegisterRequest m = Request(kTypeM, 5, 10);
    RegisterValue value{};
    EXPECT_EQ(1, rig->Read(nullptr, &m, &value));
    EXPECT_EQ(1u, rig->image[5][10].value);
    EXPECT_EQ(0xFFFFFFFFu, rig->image[5][14].value);
    EXPECT_EQ(7u, rig->image[6][0].value);
    EXPECT_EQ(2u, Count(Trace(), "refused by the key check: "));
    EXPECT_NE(std::string::npos, Trace().find("report applied for site 5, addresses 10..14, authenticated"));

    // The site's report again, and a write to it: signed, 7-bit, counter first written down.
    modem.Receive(kSite, kSignedReport, false, "23110612355032");
    rig.clock.Advance(3000);
    rig->image[5][10].value = 0;
    EXPECT_EQ(1, rig->Read(nullptr, &m, &value));
    EXPECT_EQ(0u, rig->image[5][10].value);
    RegisterRequest w = Request(kTypeM, 5, 27);
    RegisterValue v = IntValue(0x1A2B);
    EXPECT_EQ(1, rig->Write(nullptr, &w, &v));
    ASSERT_EQ(1u, modem.sent.size());
    SignedFrame parts;
    ASSERT_EQ(SignedShape::kWhole, SplitSignedFrame(modem.sent[0].text.c_str(), &parts)) << modem.sent[0].text;
    EXPECT_EQ("BEGINWM0502700001A2BEND", parts.frame);
    std::string counters, why;
    ASSERT_TRUE(ReadSecretFile(folder + "/site5.key.centre.counters", &counters, &why)) << why;
    EXPECT_NE(std::string::npos, counters.find("sent " + CounterText(parts.counter)));
    EXPECT_NE(std::string::npos, counters.find("accepted 00000000002A"));
}

// Byte for byte on the line, from transcripts computed apart.
template <class Station>
void KeyFor(PlayedRig<Station>& rig, size_t peer, const std::string& folder) {
    std::string why;
    ASSERT_TRUE(WriteSecretFile(folder + "/k.key", kKeyText, false, &why)) << why;
    rig.station.keys.wallClock = [] { return int64_t{1700000000}; };
    ASSERT_TRUE(rig.station.keys.Load(peer, folder + "/k.key", &why)) << why;
}

TEST_F(KeyedCentre, SignsItsWriteAndTakesOnlyTheSignedReportOnTheLine) {
    PlayedRig<CentralStation> played("central_keyed");
    KeyFor(played, 5, folder);
    played.WriteText(kTypeDetc, 5, "+8613900000005");
    RegisterRequest w = Request(kTypeM, 5, 120);
    RegisterValue v = IntValue(42);
    EXPECT_EQ(1, played.station.Write(nullptr, &w, &v));
    played.station.image[5][120].value = 0;
    RegisterRequest m = Request(kTypeM, 5, 121);
    EXPECT_EQ(1, played.station.Read(nullptr, &m, &v));
    played.ExpectPlayed();
    EXPECT_EQ(42u, played.station.image[5][120].value);
    EXPECT_EQ(7u, played.station.image[5][121].value);  // not the unsigned report's 1
}

TEST_F(KeyedSite, TakesOnlyTheSignedCommandAndSignsItsReportOnTheLine) {
    PlayedRig<RemoteStation> played("remote_keyed");
    KeyFor(played, 0, folder);
    int32_t own = 5;
    played.WriteText(kTypeDetc, 0, "+8613800138000");
    RegisterRequest flag = Request(kTypeComFlag, 0, 0, 0, kDataBit);
    RegisterValue on{};
    on.bitValue = 1;
    EXPECT_EQ(1, played.station.Write(&own, &flag, &on));
    RegisterRequest m = Request(kTypeM, 25);
    RegisterValue value{};
    EXPECT_EQ(1, played.station.Read(&own, &m, &value));
    played.ExpectPlayed();
    EXPECT_EQ(0x1A2Bu, played.station.image[27].value);
}

}  // namespace
}  // namespace kelvora::testing
