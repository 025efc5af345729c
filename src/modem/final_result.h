// FinalResultWatch: tells, while a modem's answer is being collected, whether
// it is complete: the caller's terminator has come (the prompt, "\r\nOK\r\n"),
// or a final result of the table has. The driver's table holds the error
// results, each a whole line of its own ended by "\r\n": "ERROR",
// "+CMS ERROR: <n>", "+CME ERROR: <n>"; a caller adds rows of its own (the
// numeric results of a modem set to ATV0, for one), so that a modem's quirk
// is one row. The same letters inside another line (a message, a header)
// never count. It looks at each byte once, however the answer is split into
// reads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kelvora {

struct FinalResult {
    enum class Match : uint8_t {
        kWholeLine,         // the line is text, ended by "\r\n"
        kPrefixWithNumber,  // the line begins with text; a number may follow
        kNumericCode,       // text and "\r" end the answer, at a line's start (ATV0)
    };
    const char* text;
    Match match;
    bool refused;  // an error result; otherwise the command was done
};
using FinalResultRows = std::vector<FinalResult>;

// The driver's own rows.
const FinalResultRows& DriverFinalResults();

class FinalResultWatch {
public:
    enum class Seen : uint8_t { kNothing, kTerminator, kError };

    // extraRows: rows beside the driver's own; they must outlive the watch
    // (a temporary may be given only when it is empty).
    explicit FinalResultWatch(const char* terminator, const FinalResultRows& extraRows = FinalResultRows());

    // Looks at what was appended to response since the last call (response
    // only ever grows between calls). Once something was seen it stays seen;
    // a row that is no error counts as the terminator.
    Seen Look(const std::string& response);

    Seen seen() const { return seen_; }
    // The number after a prefix row ("+CMS ERROR: <n>"); -1 for a whole-line
    // result or when the text after the colon is not a number.
    int32_t errorNumber() const { return errorNumber_; }
    // The row that ended the answer; nullptr for the terminator or nothing.
    const FinalResult* row() const { return row_; }

private:
    // Examines the complete lines from lineStart_ on; the position of the
    // first final result line's start, or npos.
    size_t FindResultLine(const std::string& response);
    // A numeric row that ends the response.
    const FinalResult* EndingNumericCode(const std::string& response) const;
    // The driver's rows, then the caller's.
    template <class Visit>
    const FinalResult* FirstRow(Visit visit) const;

    std::string terminator_;
    const FinalResultRows* extraRows_;  // null when there are none
    size_t terminatorFrom_ = 0;  // where the terminator search goes on
    size_t lineStart_ = 0;       // start of the first line not yet examined
    size_t scanFrom_ = 0;        // where the search for that line's end goes on
    Seen seen_ = Seen::kNothing;
    int32_t errorNumber_ = -1;
    const FinalResult* row_ = nullptr;
    const FinalResult* lineRow_ = nullptr;  // what FindResultLine found
};

}  // namespace kelvora
