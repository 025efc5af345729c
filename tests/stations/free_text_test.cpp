// Free texts reach their reader: played from byte-exact poll dialogues at
// both stations (tests/stations/transcripts), the last text from the peer
// kept for SEND_MSG, a stranger's refused; and a text cut to the host's
// field at a character boundary.
#include "stations/free_text.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "played_rig.h"
#include "stations/central_station.h"
#include "stations/remote_station.h"

namespace kelvora::testing {
namespace {

TEST(FreeTextTest, TheCentreKeepsTheLastFreeTextEachSiteSentForSendMsg) {
    PlayedRig<CentralStation> rig("central_free_text");
    rig.WriteText(kTypeDetc, 5, "+8613900000005");
    const RegisterValue untouched = Marked();
    RegisterValue v = rig.ReadText(kTypeSendMsg, 5);
    EXPECT_EQ(0, std::memcmp(&untouched, &v, sizeof v));  // none received yet

    RegisterRequest m = Request(kTypeM, 5, 120);
    RegisterValue value{};
    EXPECT_EQ(1, rig.station.Read(nullptr, &m, &value));
    rig.ExpectPlayed();

    // The later-sent of the two, though listed first; the stranger's is nobody's.
    v = rig.ReadText(kTypeSendMsg, 5);
    EXPECT_STREQ("Pump 3 alarm: pressure low", v.textValue);
    EXPECT_EQ(0, v.textValue[sizeof v.textValue - 1]);
    v = rig.ReadText(kTypeSendMsg, 6);
    EXPECT_EQ(0, std::memcmp(&untouched, &v, sizeof v));
}

TEST(FreeTextTest, ASiteKeepsTheLastFreeTextFromTheCentreAndRefusesAStrangers) {
    PlayedRig<RemoteStation> rig("remote_free_text");
    rig.WriteText(kTypeDetc, 0, "+8613900000001");
    int32_t own = 5;
    RegisterRequest m = Request(kTypeM, 120);
    RegisterValue value{};
    EXPECT_EQ(1, rig.station.Read(&own, &m, &value));
    rig.ExpectPlayed();

    const RegisterValue v = rig.ReadText(kTypeSendMsg, 0, &own);
    EXPECT_STREQ("Maintenance at 14:00", v.textValue);
}

TEST(FreeTextTest, OneSentBeforeTheTextKeptIsNotKeptAndALongTextIsCutBetweenCharacters) {
    SmsRecord record{};
    std::memcpy(record.text, "later", 6);
    std::memcpy(record.timestamp, "23110612350032", 14);
    FreeText kept;
    ASSERT_TRUE(kept.Keep(record));
    std::memcpy(record.text, "earlier", 8);
    std::memcpy(record.timestamp, "23110612345032", 14);  // delivered late, at a later poll
    EXPECT_FALSE(kept.Keep(record));
    EXPECT_EQ("23110612350032", kept.timestamp());

    std::string text = "a";
    for (int i = 0; i < 69; ++i) text += "\xD6\xD0";  // GBK for one Chinese character: 139 bytes in all
    std::memcpy(record.text, text.data(), text.size());
    std::memcpy(record.timestamp, "23110612355032", 14);
    ASSERT_TRUE(kept.Keep(record));
    char field[131];
    std::memset(field, 0x5A, sizeof field);
    bool cut = false;
    ASSERT_TRUE(kept.CopyTo(field, sizeof field, &cut));
    EXPECT_TRUE(cut);
    EXPECT_EQ(129u, std::strlen(field));  // 130 would end inside a character
    EXPECT_EQ(text.substr(0, 129), std::string(field));
}

}  // namespace
}  // namespace kelvora::testing
