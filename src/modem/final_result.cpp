// FinalResultWatch (see the header).
#include "modem/final_result.h"

#include <cstring>

namespace kelvora {

namespace {

constexpr char kError[] = "ERROR";
constexpr char kCmsError[] = "+CMS ERROR:";
constexpr char kCmeError[] = "+CME ERROR:";
constexpr int32_t kLargestErrorNumber = 65535;

bool LineIs(const std::string& r, size_t begin, size_t end, const char* text) {
    const size_t n = std::strlen(text);
    return end - begin == n && r.compare(begin, n, text) == 0;
}

bool LineStartsWith(const std::string& r, size_t begin, size_t end, const char* text) {
    const size_t n = std::strlen(text);
    return end - begin >= n && r.compare(begin, n, text) == 0;
}

// The number after the colon, blanks around it allowed; -1 when it is text.
int32_t ErrorNumber(const std::string& r, size_t from, size_t end) {
    while (from < end && r[from] == ' ') ++from;
    int32_t value = 0;
    size_t digits = 0;
    while (from < end && r[from] >= '0' && r[from] <= '9') {
        if (value <= kLargestErrorNumber) value = value * 10 + (r[from] - '0');
        ++from;
        ++digits;
    }
    while (from < end && r[from] == ' ') ++from;
    if (digits == 0 || from != end || value > kLargestErrorNumber) return -1;
    return value;
}

// The first CR or LF from `from` on, looking at each byte once.
size_t FindLineEnd(const std::string& r, size_t from) {
    for (size_t i = from; i < r.size(); ++i) {
        if (r[i] == '\r' || r[i] == '\n') return i;
    }
    return std::string::npos;
}

}  // namespace

FinalResultWatch::FinalResultWatch(const char* terminator) : terminator_(terminator != nullptr ? terminator : "") {}

FinalResultWatch::Seen FinalResultWatch::Look(const std::string& response) {
    if (seen_ != Seen::kNothing) return seen_;
    size_t terminator = response.find(terminator_, terminatorFrom_);
    if (terminator == std::string::npos) {
        // Only the last few bytes can still begin a terminator.
        const size_t keep = terminator_.empty() ? 0 : terminator_.size() - 1;
        terminatorFrom_ = response.size() > keep ? response.size() - keep : 0;
    }
    const size_t error = FindErrorLine(response);
    if (error != std::string::npos && (terminator == std::string::npos || error < terminator)) {
        seen_ = Seen::kError;
    } else if (terminator != std::string::npos) {
        seen_ = Seen::kTerminator;
    }
    return seen_;
}

size_t FinalResultWatch::FindErrorLine(const std::string& r) {
    for (;;) {
        const size_t end = FindLineEnd(r, scanFrom_);
        if (end == std::string::npos) {
            scanFrom_ = r.size();  // a long line is not searched again from its start
            return std::string::npos;
        }
        if (r[end] == '\r' && end + 1 == r.size()) {
            scanFrom_ = end;  // its "\n" may be on its way
            return std::string::npos;
        }
        if (r[end] == '\r' && r[end + 1] == '\n') {
            const size_t begin = lineStart_;
            if (LineIs(r, begin, end, kError)) {
                errorNumber_ = -1;
                return begin;
            }
            if (LineStartsWith(r, begin, end, kCmsError) || LineStartsWith(r, begin, end, kCmeError)) {
                errorNumber_ = ErrorNumber(r, begin + std::strlen(kCmsError), end);
                return begin;
            }
            lineStart_ = scanFrom_ = end + 2;
        } else {
            lineStart_ = scanFrom_ = end + 1;  // a line end of one character ends no result
        }
    }
}

}  // namespace kelvora
