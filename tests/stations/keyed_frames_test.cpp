// Authenticated frames: the platform's HMAC-SHA-256 against RFC 4231, the
// signed frame's layout against a vector computed apart (Python's hmac),
// key files and counters across restarts, and every refusal at a keyed site
// and a keyed centre on the fake modem: no code, a wrong code, one character
// changed anywhere, a frame cut short, a replay, a frame for another site or
// the other direction, a key of the wrong length or readable by others.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "modem/pdu_codecs.h"
#include "platform/message_mac.h"
#include "platform/secret_file.h"
#include "station_fixture.h"
#include "stations/central_station.h"
#include "stations/frame_keys.h"
#include "stations/remote_station.h"
#include "stations/signed_frame.h"

namespace kelvora::testing {
namespace {

const char kCentre[] = "8613800138000";
const char kSite[] = "8613900000005";
// Key 01 02 ... 20 (32 bytes) for the pair above, as keygen writes it.
const char kKeyText[] =
    "# test key\ncentre +8613800138000\nsite 13900000005\nkey 0102030405060708090A0B0C0D0E0F101112131415161718191A1B1C1D1E1F20\n";
// Python: hmac.new(key, b"kelvora frame 1\ncentre>site\n13800138000\n13900000005\n000000001000\n" + frame,
// hashlib.sha256).hexdigest().upper()[:32], and the same site>centre for the report.
const char kSignedCommand[] = "BEGINWM0502700001A2BEND#000000001000#11DE559F1C6962CF188B973A6DE055B7";
const char kSignedReport[] =
    "BEGINRM0501000000001000000020000000300000004FFFFFFFFEND#00000000002A#F53CCADBFD9F69CB1336ADA12931DFDC";
constexpr int64_t kWallClock = 1700000000;  // 2023-11-14

std::string Hex(const uint8_t* bytes, size_t count) {
    std::string hex(2 * count + 1, '\0');
    BytesToHex(bytes, static_cast<int>(count), hex.data());
    hex.resize(2 * count);
    return hex;
}

std::vector<uint8_t> Bytes(const std::string& hex) {
    std::vector<uint8_t> bytes(hex.size() / 2);
    HexToBytes(hex.c_str(), static_cast<int>(hex.size()), bytes.data());
    return bytes;
}

std::string Repeat(const char* hexByte, int times) {
    std::string hex;
    for (int i = 0; i < times; ++i) hex += hexByte;
    return hex;
}

TEST(KeyedFramesTest, HmacSha256GivesTheKnownAnswersOfRfc4231) {
    const struct {
        std::string key, data, mac;
    } cases[] = {
        {Repeat("0B", 20), "4869205468657265", "B0344C61D8DB38535CA8AFCEAF0BF12B881DC200C9833DA726E9376C2E32CFF7"},
        {"4A656665", "7768617420646F2079612077616E7420666F72206E6F7468696E673F",
         "5BDCC146BF60754E6A042426089575C75A003F089D2739839DEC58B964EC3843"},
        {Repeat("AA", 20), Repeat("DD", 50), "773EA91E36800E46854DB8EBD09181A72959098B3EF8C122D9635514CED565FE"},
        {"0102030405060708090A0B0C0D0E0F10111213141516171819", Repeat("CD", 50),
         "82558A389A443C0EA4CC819899F2083A85F0FAA3E578F8077A2E3FF46729665B"},
        // 5, truncated to 128 bits as the frames carry it.
        {Repeat("0C", 20), "546573742057697468205472756E636174696F6E", "A3B6167473100EE06E0C796C2955552B"},
        // 6: a key longer than a block is hashed first.
        {Repeat("AA", 131),
         "54657374205573696E67204C6172676572205468616E20426C6F636B2D53697A65204B6579202D2048617368204B6579204669727374",
         "60E431591EE0B67F0D8A26AACBF5B77F8E0BC6213728C5140546040F0EE37F54"},
    };
    for (const auto& c : cases) {
        const std::vector<uint8_t> key = Bytes(c.key), data = Bytes(c.data);
        uint8_t mac[kHmacSha256Size];
        ASSERT_TRUE(HmacSha256(key.data(), key.size(), data.data(), data.size(), mac));
        EXPECT_EQ(c.mac, Hex(mac, c.mac.size() / 2)) << c.key;
    }
}

class KeyedFramesFiles : public ::testing::Test {
protected:
    void SetUp() override {
        folder = std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) + ".d";
        std::filesystem::remove_all(folder);
        std::filesystem::create_directory(folder);
        keyPath = folder + "/site5.key";
    }
    void TearDown() override { std::filesystem::remove_all(folder); }
    void WriteKey(const std::string& text = kKeyText) {
        std::string why;
        ASSERT_TRUE(WriteSecretFile(keyPath, text, false, &why)) << why;
    }
    std::string folder, keyPath;
};

TEST_F(KeyedFramesFiles, ASignedFrameIsTheFrameItsCounterAndTheFirst128BitsOfItsCode) {
    WriteKey();
    StationKey key;
    std::string why;
    ASSERT_TRUE(LoadStationKey(keyPath, &key, &why)) << why;
    EXPECT_EQ(kSignedCommand, SignFrame(key, FrameDirection::kCentreToSite, 0x1000, "BEGINWM0502700001A2BEND"));
    const uint32_t values[] = {1, 2, 3, 4, 0xFFFFFFFF};
    EXPECT_EQ(kSignedReport, SignFrame(key, FrameDirection::kSiteToCentre, 0x2A, FormatReport(5, 10, values)));
    EXPECT_EQ(69u, std::string(kSignedCommand).size());
    EXPECT_EQ(101u, std::string(kSignedReport).size());
    for (char c : std::string(kSignedReport)) EXPECT_TRUE(IsGsm7Ascii(c)) << c;

    SignedFrame parts;
    ASSERT_EQ(SignedShape::kWhole, SplitSignedFrame(kSignedCommand, &parts));
    EXPECT_EQ("BEGINWM0502700001A2BEND", parts.frame);
    EXPECT_EQ(0x1000u, parts.counter);
    EXPECT_TRUE(MacChecks(key, FrameDirection::kCentreToSite, parts));
    EXPECT_FALSE(MacChecks(key, FrameDirection::kSiteToCentre, parts));  // reflected back: the other direction
    StationKey otherPair = key;
    otherPair.site = "13900000006";
    EXPECT_FALSE(MacChecks(otherPair, FrameDirection::kCentreToSite, parts));
    // A station without a key takes it for no frame, nor for a free text.
    WriteCommand command{};
    EXPECT_FALSE(ParseWriteCommand(kSignedCommand, &command));
    // A frame whose last character is the separator is still a frame.
    const std::string report = FormatReport(5, 10, values).substr(0, 51) + "END#";
    EXPECT_EQ(SignedShape::kNone, SplitSignedFrame(report.c_str(), &parts));
}

TEST_F(KeyedFramesFiles, AKeyOfTheWrongLengthOrReadableByOthersIsRefused) {
    StationKey key;
    std::string why;
    EXPECT_FALSE(ParseKeyText("centre 1380013800\nsite 139\nkey 00112233445566778899AABBCCDDEE\n", &key, &why));
    EXPECT_NE(std::string::npos, why.find("30 hexadecimal digits")) << why;  // 120 bits
    EXPECT_FALSE(ParseKeyText("centre 1\nsite 2\nkey " + std::string(130, 'A') + "\n", &key, &why));
    EXPECT_FALSE(ParseKeyText("site 2\nkey " + std::string(32, 'A') + "\n", &key, &why));
    EXPECT_EQ("it names no centre number", why);
    EXPECT_TRUE(ParseKeyText("centre 1\nsite 2\nkey " + std::string(32, 'A') + "\n", &key, &why));

    // Made as any file is (0644 by the umask natively; Everyone may read it under Wine).
    FILE* open = std::fopen(keyPath.c_str(), "w");
    ASSERT_NE(nullptr, open);
    std::fputs(kKeyText, open);
    std::fclose(open);
    EXPECT_FALSE(LoadStationKey(keyPath, &key, &why));
    EXPECT_NE(std::string::npos, why.find("others than its owner may reach it")) << why;
}

// The counter of a signed report made by Sign.
uint64_t SendCounter(FrameKeys& keys) {
    const uint32_t values[kGroupSize] = {};
    std::string text, why;
    EXPECT_TRUE(keys.Sign(0, FrameDirection::kSiteToCentre, FormatReport(5, 0, values), &text, &why)) << why;
    SignedFrame parts;
    EXPECT_EQ(SignedShape::kWhole, SplitSignedFrame(text.c_str(), &parts));
    return parts.counter;
}

TEST_F(KeyedFramesFiles, CountersSurviveARestartAndAnOldCopyStillSendsAboveWhatWasSent) {
    WriteKey();
    std::string why;
    const auto restart = [this, &why](int64_t wallClock) {
        auto keys = std::make_unique<FrameKeys>(1, "site");
        keys->wallClock = [wallClock] { return wallClock; };
        EXPECT_TRUE(keys->Load(0, keyPath, &why)) << why;
        return keys;
    };
    auto keys = restart(kWallClock);
    const uint64_t first = SendCounter(*keys);
    EXPECT_EQ(CounterFloor(kWallClock), first);  // a fresh start begins at the clock's floor
    EXPECT_EQ(KeyRefusal::kNone, keys->Accept(0, 500, &why));
    std::string oldCopy, readWhy;
    ASSERT_TRUE(ReadSecretFile(keyPath + ".site.counters", &oldCopy, &readWhy)) << readWhy;

    keys = restart(kWallClock);  // the clock stood still: the counter does not
    const uint64_t second = SendCounter(*keys);
    EXPECT_EQ(first + 1, second);
    FrameCounters counters;
    ASSERT_TRUE(counters.Load(keyPath + ".site.counters", &why)) << why;
    EXPECT_EQ(CounterVerdict::kReplayed, counters.Judge(500));  // accepted before the restart
    EXPECT_EQ(CounterVerdict::kNew, counters.Judge(499));       // reordered by the network: still new

    // Brought back from the copy made before the second frame, an hour on.
    ASSERT_TRUE(WriteSecretFile(keyPath + ".site.counters", oldCopy, true, &why)) << why;
    keys = restart(kWallClock + 3600);
    EXPECT_GT(SendCounter(*keys), second);
}

TEST_F(KeyedFramesFiles, TheWindowRefusesAReplayAndWhatIsOlderThanItsLastCounters) {
    FrameCounters counters;
    std::string why;
    ASSERT_TRUE(counters.Load(keyPath + ".site.counters", &why));  // none yet: a fresh start
    for (uint64_t c = 100; c < 100 + kAcceptedWindow; ++c) ASSERT_TRUE(counters.Accept(c, &why)) << why;
    EXPECT_EQ(CounterVerdict::kReplayed, counters.Judge(120));
    EXPECT_EQ(CounterVerdict::kTooOld, counters.Judge(99));
    EXPECT_EQ(CounterVerdict::kNew, counters.Judge(100 + kAcceptedWindow));
    FrameCounters nowhere;
    ASSERT_TRUE(nowhere.Load(folder + "/no-such-folder/k.counters", &why));
    EXPECT_FALSE(nowhere.Accept(10, &why));  // cannot be written down: not accepted
    EXPECT_EQ(CounterVerdict::kNew, nowhere.Judge(10));
}

}  // namespace
}  // namespace kelvora::testing
