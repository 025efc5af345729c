// FinalResultWatch (see the header).
#include "modem/final_result.h"

#include <cstring>

namespace kelvora {

namespace {

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

const FinalResultRows& DriverFinalResults() {
    static const FinalResultRows kRows = {
        {"ERROR", FinalResult::Match::kWholeLine, true},
        {"+CMS ERROR:", FinalResult::Match::kPrefixWithNumber, true},
        {"+CME ERROR:", FinalResult::Match::kPrefixWithNumber, true},
    };
    return kRows;
}

FinalResultWatch::FinalResultWatch(const char* terminator, const FinalResultRows& extraRows)
    : terminator_(terminator != nullptr ? terminator : ""), extraRows_(extraRows.empty() ? nullptr : &extraRows) {}

template <class Visit>
const FinalResult* FinalResultWatch::FirstRow(Visit visit) const {
    for (const FinalResultRows* rows : {&DriverFinalResults(), extraRows_}) {
        if (rows == nullptr) continue;
        for (const FinalResult& row : *rows) {
            if (visit(row)) return &row;
        }
    }
    return nullptr;
}

FinalResultWatch::Seen FinalResultWatch::Look(const std::string& response) {
    if (seen_ != Seen::kNothing) return seen_;
    size_t terminator = response.find(terminator_, terminatorFrom_);
    if (terminator == std::string::npos) {
        // Only the last few bytes can still begin a terminator.
        const size_t keep = terminator_.empty() ? 0 : terminator_.size() - 1;
        terminatorFrom_ = response.size() > keep ? response.size() - keep : 0;
    }
    const size_t line = FindResultLine(response);
    if (line != std::string::npos && (terminator == std::string::npos || line < terminator)) {
        row_ = lineRow_;
    } else if (terminator == std::string::npos) {
        row_ = EndingNumericCode(response);
        if (row_ == nullptr) return seen_;
    }
    seen_ = row_ != nullptr && row_->refused ? Seen::kError : Seen::kTerminator;
    return seen_;
}

const FinalResult* FinalResultWatch::EndingNumericCode(const std::string& r) const {
    if (r.empty() || r.back() != '\r') return nullptr;
    return FirstRow([&r](const FinalResult& row) {
        if (row.match != FinalResult::Match::kNumericCode) return false;
        const size_t n = std::strlen(row.text);
        if (r.size() < n + 1 || r.compare(r.size() - 1 - n, n, row.text) != 0) return false;
        const size_t begin = r.size() - 1 - n;
        return begin == 0 || r[begin - 1] == '\r' || r[begin - 1] == '\n';
    });
}

size_t FinalResultWatch::FindResultLine(const std::string& r) {
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
            lineRow_ = FirstRow([&](const FinalResult& row) {
                return (row.match == FinalResult::Match::kWholeLine && LineIs(r, begin, end, row.text)) ||
                       (row.match == FinalResult::Match::kPrefixWithNumber && LineStartsWith(r, begin, end, row.text));
            });
            if (lineRow_ != nullptr) {
                errorNumber_ = lineRow_->match == FinalResult::Match::kPrefixWithNumber
                                   ? ErrorNumber(r, begin + std::strlen(lineRow_->text), end)
                                   : -1;
                return begin;
            }
            lineStart_ = scanFrom_ = end + 2;
        } else {
            lineStart_ = scanFrom_ = end + 1;  // a line end of one character ends no result
        }
    }
}

}  // namespace kelvora
