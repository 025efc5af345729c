// ViewOptions: the user's choices on what the centre's reads return (see the
// header).
#include "stations/view_options.h"

#include <algorithm>
#include <cctype>

#include "platform/system_setting.h"
#include "platform/trace.h"
#include "stations/view_events.h"
#include "stations/write_holds.h"

namespace kelvora {

namespace {

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::string Origin(const std::string& setting, bool understood, const char* expected) {
    if (setting.empty()) return ", the default";
    if (!understood) return ": the setting " + Printable(setting) + " is not " + expected;
    return ", as set";
}

}  // namespace

bool HoldWritesFromText(const std::string& text, bool* understood) {
    const std::string word = Lower(text);
    const bool on = word == "1" || word == "on" || word == "yes" || word == "true";
    const bool off = word.empty() || word == "0" || word == "off" || word == "no" || word == "false";
    if (understood != nullptr) *understood = on || off;
    return on;
}

uint32_t StaleAfterFromText(const std::string& text, bool* understood) {
    if (understood != nullptr) *understood = true;
    if (text.empty()) return 0;
    uint64_t seconds = 0;
    bool number = text.size() <= 10;  // ten digits cannot pass 2^64
    for (size_t i = 0; number && i < text.size(); ++i) {
        number = text[i] >= '0' && text[i] <= '9';
        seconds = seconds * 10 + static_cast<uint64_t>(text[i] - '0');
    }
    if (number && seconds <= kMaxStaleAfterSeconds) return static_cast<uint32_t>(seconds);
    if (understood != nullptr) *understood = false;
    return 0;
}

ViewOptions ViewOptionsFromSystem(std::string* holdSetting, std::string* staleSetting) {
    const std::string hold = SystemSetting("KELVORA_HOLD_WRITES", "HoldWrites");
    const std::string stale = SystemSetting("KELVORA_STALE_AFTER", "StaleAfter");
    if (holdSetting != nullptr) *holdSetting = hold;
    if (staleSetting != nullptr) *staleSetting = stale;
    ViewOptions options;
    options.holdWrites = HoldWritesFromText(hold);
    options.staleAfterSeconds = StaleAfterFromText(stale);
    return options;
}

std::string DescribeHoldWrites(const ViewOptions& options, const std::string& setting) {
    bool understood = true;
    HoldWritesFromText(setting, &understood);
    const std::string line =
        (options.holdWrites ? "on (a value the host wrote stands against reports until one shows it, one sent " +
                                  std::to_string(kHoldMarginSeconds) + " s after the write shows another, or " +
                                  std::to_string(kHoldLimitSeconds) + " s have passed)"
                            : std::string("off (every report is applied as it comes)"));
    return ViewEventText(ViewEvent::kHoldWrites, line + Origin(setting, understood, "on or off"));
}

std::string DescribeStaleAfter(const ViewOptions& options, const std::string& setting) {
    bool understood = true;
    StaleAfterFromText(setting, &understood);
    const std::string line =
        (options.staleAfterSeconds != 0
             ? std::to_string(options.staleAfterSeconds) +
                   " s (a site's reads fail once no report of it has been applied for that long, and when their "
                   "poll failed)"
             : std::string("off (reads answer from the image however old)"));
    return ViewEventText(ViewEvent::kStaleAfter,
                         line + Origin(setting, understood, "a number of seconds up to 2592000"));
}

}  // namespace kelvora
