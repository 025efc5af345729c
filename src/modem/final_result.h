// FinalResultWatch: tells, while a modem's answer is being collected, whether
// it is complete: the caller's terminator has come (the prompt, "\r\nOK\r\n"),
// or a final error result has, as a whole line of its own: "ERROR",
// "+CMS ERROR: <n>" or "+CME ERROR: <n>", ended by "\r\n". The same letters
// inside another line (a message, a header) never count. It looks at each
// byte once, however the answer is split into reads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace kelvora {

class FinalResultWatch {
public:
    enum class Seen : uint8_t { kNothing, kTerminator, kError };

    explicit FinalResultWatch(const char* terminator);

    // Looks at what was appended to response since the last call (response
    // only ever grows between calls). Once something was seen it stays seen.
    Seen Look(const std::string& response);

    Seen seen() const { return seen_; }
    // The number of "+CMS ERROR: <n>"/"+CME ERROR: <n>"; -1 for "ERROR" or
    // when the text after the colon is not a number.
    int32_t errorNumber() const { return errorNumber_; }

private:
    // Examines the complete lines from lineStart_ on; the position of the
    // first error line's start, or npos.
    size_t FindErrorLine(const std::string& response);

    std::string terminator_;
    size_t terminatorFrom_ = 0;  // where the terminator search goes on
    size_t lineStart_ = 0;       // start of the first line not yet examined
    size_t scanFrom_ = 0;        // where the search for that line's end goes on
    Seen seen_ = Seen::kNothing;
    int32_t errorNumber_ = -1;
};

}  // namespace kelvora
