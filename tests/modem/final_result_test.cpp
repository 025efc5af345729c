// FinalResultWatch: final error results are whole lines, however the answer
// is split into reads; the same letters inside other lines never count.
#include "modem/final_result.h"

#include <gtest/gtest.h>

#include <string>

namespace kelvora::testing {
namespace {

// Feeds the answer one byte at a time; the length at which it was first seen
// complete, or 0.
size_t CompleteAfter(const std::string& answer, FinalResultWatch& watch) {
    std::string response;
    for (char c : answer) {
        response.push_back(c);
        if (watch.Look(response) != FinalResultWatch::Seen::kNothing) return response.size();
    }
    return 0;
}

TEST(FinalResultWatch, SeesErrorLinesOnlyWhenTheyAreWholeLines) {
    struct Case {
        std::string answer;
        FinalResultWatch::Seen seen;
        int32_t errorNumber;
    } cases[] = {
        {"AT+CMGL\r\r\n+CMS ERROR: 321\r\n", FinalResultWatch::Seen::kError, 321},
        {"\r\n+CME ERROR:10\r\n", FinalResultWatch::Seen::kError, 10},
        {"\r\n+CMS ERROR: unknown error\r\n", FinalResultWatch::Seen::kError, -1},
        {"\r\nERROR\r\n\r\nOK\r\n", FinalResultWatch::Seen::kError, -1},
        {"\r\n+CMGL: 1,0,\"ERROR\",25\r\nERRORS\r\nxERROR\r\nERROR\n\r\nOK\r\n", FinalResultWatch::Seen::kTerminator, -1},
        {"\r\nERROR", FinalResultWatch::Seen::kNothing, -1},
        {"\r\nOK\r\n\r\nERROR\r\n", FinalResultWatch::Seen::kTerminator, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.answer);
        FinalResultWatch watch("\r\nOK\r\n");
        const size_t at = CompleteAfter(c.answer, watch);
        EXPECT_EQ(c.seen, watch.seen());
        EXPECT_EQ(c.errorNumber, watch.errorNumber());
        if (c.seen == FinalResultWatch::Seen::kError) {
            EXPECT_EQ('\n', c.answer[at - 1]);  // seen at the line end, not before
            EXPECT_EQ(c.answer.find("\r\n", c.answer.find("ERROR")) + 2, at);
        }
    }
}

TEST(FinalResultWatch, ACallersRowsEndAnAnswerAsTheDriversDo) {
    // A modem set to ATV0: "0" done, "4" refused, each ended by CR alone.
    const FinalResultRows numeric = {{"0", FinalResult::Match::kNumericCode, false},
                                     {"4", FinalResult::Match::kNumericCode, true}};
    struct Case {
        std::string answer;
        FinalResultWatch::Seen seen;
        const char* row;
    } cases[] = {
        {"AT\r0\r", FinalResultWatch::Seen::kTerminator, "0"},
        {"4\r", FinalResultWatch::Seen::kError, "4"},
        {"+CSQ: 20,0\r\n0\r", FinalResultWatch::Seen::kTerminator, "0"},  // not after the comma
        {"\r\n+CMS ERROR: 500\r\n", FinalResultWatch::Seen::kError, "+CMS ERROR:"},
        {"\r\n+CSQ: 20,0\r", FinalResultWatch::Seen::kNothing, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.answer);
        FinalResultWatch watch("\r\nOK\r\n", numeric);
        CompleteAfter(c.answer, watch);
        EXPECT_EQ(c.seen, watch.seen());
        EXPECT_STREQ(c.row, watch.row() != nullptr ? watch.row()->text : nullptr);
    }
}

}  // namespace
}  // namespace kelvora::testing
