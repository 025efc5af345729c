// The view's events: each row has its own name, and each event reads back
// by that name with the fields the console needs, whatever the words hold.
#include "stations/view_events.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace kelvora::testing {
namespace {

TEST(ViewEvents, EachReadsBackByNameWithItsFields) {
    std::set<std::string> names{RowOf(MessageFate::kNotAFrame).name};
    for (int i = 0; i <= static_cast<int>(ViewEvent::kFreeTextNotKept); ++i) {
        EXPECT_TRUE(names.insert(RowOf(static_cast<ViewEvent>(i)).name).second) << i;
    }
    ViewEventFields f;
    ASSERT_TRUE(ReadViewEvent(HoldEvent(ViewEvent::kHoldKept, 5, 120, uint32_t(-3), "a report [hold-begun]"), &f));
    EXPECT_EQ(ViewEvent::kHoldKept, f.event);
    EXPECT_EQ(5, f.site);
    EXPECT_EQ(120, f.address);
    EXPECT_EQ(-3, f.value);
    ASSERT_TRUE(ReadViewEvent(ViewEventText(ViewEvent::kStaleAfter, "60 s (a site's reads fail ...)"), &f));
    EXPECT_EQ(60u, f.seconds);
    ASSERT_TRUE(ReadViewEvent(ViewEventText(ViewEvent::kStaleAfter, "off (reads answer ...)"), &f));
    EXPECT_EQ(0u, f.seconds);
    ASSERT_TRUE(ReadViewEvent(ViewEventText(ViewEvent::kReadFailedByPoll, "the poll for it failed"), &f));
    EXPECT_EQ(ViewEvent::kReadFailedByPoll, f.event);
    EXPECT_EQ("the poll for it failed", f.words);
    // A number in two sites' DETC: the first site's copy was not kept.
    const std::string parts =
        FreeTextPart("site 3", false, false, "SEND_MSG3") + "; " + FreeTextPart("site 7", true, true, "SEND_MSG7");
    const std::string detail = OutcomeEvent(ViewEvent::kFreeTextKept, parts);
    ASSERT_TRUE(ReadViewEvent(detail, &f));
    EXPECT_EQ(ViewEvent::kFreeTextKept, f.event);
    EXPECT_EQ("site 7 (unauthenticated)", f.words);
    EXPECT_FALSE(ReadViewEvent("hold on M5.120 = 42 kept: a report shows 3: not applied", &f));  // words alone
    EXPECT_FALSE(ReadViewEvent(OutcomeEvent(MessageFate::kNotAFrame, "free text from site 5, kept for SEND_MSG5"), &f));
}

}  // namespace
}  // namespace kelvora::testing
