// A key's frame counters and their file (see the header).
#include "stations/frame_counters.h"

#include <algorithm>
#include <cstdio>
#include <sstream>

#include "platform/secret_file.h"

namespace kelvora {

namespace {

constexpr size_t kCounterDigits = 12;

int CapitalHexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

uint64_t CounterFloor(int64_t unixSeconds) {
    if (unixSeconds <= kCounterEpochSeconds) return 0;
    const uint64_t seconds = static_cast<uint64_t>(unixSeconds - kCounterEpochSeconds);
    return std::min<uint64_t>(seconds << kCounterSecondShift, kMaxFrameCounter / 2);
}

std::string CounterText(uint64_t counter) {
    char text[32];
    std::snprintf(text, sizeof text, "%012llX", static_cast<unsigned long long>(counter & kMaxFrameCounter));
    return text;
}

bool ReadCounterText(const char* text, size_t length, uint64_t* counter) {
    if (length != kCounterDigits) return false;
    uint64_t value = 0;
    for (size_t i = 0; i < length; ++i) {
        const int digit = CapitalHexDigit(text[i]);
        if (digit < 0) return false;
        value = (value << 4) | static_cast<uint64_t>(digit);
    }
    *counter = value;
    return true;
}

bool FrameCounters::Load(const std::string& path, std::string* why) {
    path_ = path;
    sent_ = 0;
    accepted_.clear();
    std::string text;
    std::string readWhy;
    bool missing = false;
    if (!ReadSecretFile(path, &text, &readWhy, &missing)) {
        if (missing) return true;  // none yet: a fresh start
        *why = "the counters file " + path + " cannot be used: " + readWhy;
        return false;
    }
    std::istringstream lines(text);
    std::string name;
    std::string value;
    while (lines >> name >> value) {
        uint64_t counter = 0;
        if (!ReadCounterText(value.c_str(), value.size(), &counter) || (name != "sent" && name != "accepted")) {
            *why = "the counters file " + path + " is not understood near \"" + name + "\"";
            return false;
        }
        if (name == "sent") sent_ = std::max(sent_, counter);
        else accepted_.push_back(counter);
    }
    std::sort(accepted_.begin(), accepted_.end());
    accepted_.erase(std::unique(accepted_.begin(), accepted_.end()), accepted_.end());
    if (accepted_.size() > kAcceptedWindow) accepted_.erase(accepted_.begin(), accepted_.end() - kAcceptedWindow);
    return true;
}

bool FrameCounters::Save(std::string* why) const {
    std::string text = "sent " + CounterText(sent_) + "\n";
    for (uint64_t counter : accepted_) text += "accepted " + CounterText(counter) + "\n";
    std::string writeWhy;
    if (WriteSecretFile(path_, text, true, &writeWhy)) return true;
    *why = "the counters file " + path_ + " cannot be written: " + writeWhy;
    return false;
}

bool FrameCounters::NextToSend(int64_t unixSeconds, uint64_t* counter, std::string* why) {
    const uint64_t next = std::max(sent_ + 1, CounterFloor(unixSeconds));
    if (sent_ >= kMaxFrameCounter) {
        *why = "every counter of this key is used: make a new key";
        return false;
    }
    const uint64_t before = sent_;
    sent_ = next;
    if (!Save(why)) {
        sent_ = before;
        return false;
    }
    *counter = next;
    return true;
}

CounterVerdict FrameCounters::Judge(uint64_t counter) const {
    if (std::binary_search(accepted_.begin(), accepted_.end(), counter)) return CounterVerdict::kReplayed;
    if (accepted_.size() >= kAcceptedWindow && counter < accepted_.front()) return CounterVerdict::kTooOld;
    return CounterVerdict::kNew;
}

bool FrameCounters::Accept(uint64_t counter, std::string* why) {
    const std::vector<uint64_t> before = accepted_;
    accepted_.insert(std::upper_bound(accepted_.begin(), accepted_.end(), counter), counter);
    if (accepted_.size() > kAcceptedWindow) accepted_.erase(accepted_.begin());
    if (Save(why)) return true;
    accepted_ = before;
    return false;
}

}  // namespace kelvora
