// The outcome table: every row's name reads back to its row, and a send's
// event reads back whatever its message's text holds.
#include "driver/outcome_table.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "modem/send_event.h"

namespace kelvora::testing {
namespace {

template <class Outcome>
void ExpectRowsReadBack(int count, std::set<std::string>* names) {
    for (int i = 0; i < count; ++i) {
        const auto outcome = static_cast<Outcome>(i);
        EXPECT_TRUE(names->insert(RowOf(outcome).name).second) << RowOf(outcome).name;
        Outcome read{};
        std::string sentence;
        ASSERT_TRUE(ReadOutcomeEvent(OutcomeEvent(outcome, "a sentence [exchange-refused]"), &read, &sentence));
        EXPECT_EQ(outcome, read);
        EXPECT_EQ("a sentence [exchange-refused]", sentence);
    }
}

TEST(OutcomeTable, EveryNameIsItsOwnAndReadsBackToItsRow) {
    std::set<std::string> names;
    ExpectRowsReadBack<ExchangeOutcome>(4, &names);
    ExpectRowsReadBack<SendOutcome>(6, &names);
    ExpectRowsReadBack<MessageFate>(7, &names);
    ExpectRowsReadBack<LineEvent>(3, &names);
    SendOutcome send{};
    EXPECT_FALSE(ReadOutcomeEvent(OutcomeEvent(LineEvent::kBack, "line back"), &send));  // another kind's row
    EXPECT_FALSE(ReadOutcomeEvent("send \"x\" to 1: accepted", &send));                 // a sentence alone
    EXPECT_EQ("error 322 (memory full)", DescribeSmsError(322));
    EXPECT_EQ("error 7", DescribeSmsError(7));
}

TEST(OutcomeTable, ASendEventReadsBackWhateverTheTextHolds) {
    const std::string subject = "send \"x: not sent: y, error 9 [send-accepted]\" to 8613900000005";
    SendEventRead read;
    ASSERT_TRUE(ReadSendEvent(SendEvent(SendOutcome::kRefused, subject, "", 500), &read));
    EXPECT_EQ(SendOutcome::kRefused, read.outcome);
    EXPECT_EQ(500, read.errorNumber);
    EXPECT_EQ("", read.reason);
    ASSERT_TRUE(ReadSendEvent(SendEvent(SendOutcome::kAccepted, subject, "", -1, 7), &read));
    EXPECT_EQ(SendOutcome::kAccepted, read.outcome);
    EXPECT_EQ(-1, read.errorNumber);
    ASSERT_TRUE(ReadSendEvent(SendEvent(SendOutcome::kNotSent, subject, "the text is empty"), &read));
    EXPECT_EQ(SendOutcome::kNotSent, read.outcome);
    EXPECT_EQ("the text is empty", read.reason);
    EXPECT_EQ(-1, read.errorNumber);
    EXPECT_FALSE(ReadSendEvent(OutcomeEvent(MessageFate::kApplied, subject), &read));
}

}  // namespace
}  // namespace kelvora::testing
