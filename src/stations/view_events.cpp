// The rows of the view's events and their writers and reader (see the
// header). A row's name is what traces already written carry: it never
// changes once released.
#include "stations/view_events.h"

#include <cstdio>
#include <cstdlib>

namespace kelvora {
namespace {

constexpr OutcomeRow kViewRows[] = {
    {"view-stale-after", "stale after"},
    {"view-hold-writes", "hold writes"},
    {"hold-begun", "held until"},
    {"hold-kept", "kept"},
    {"hold-confirmed", "confirmed"},
    {"hold-given-up", "given up"},
    {"hold-ended", "ended"},
    {"read-failed-poll", "read failed"},
    {"read-failed-silent", "read failed"},
    {"free-text-kept", "free text from"},
    {"free-text-not-kept", "free text from"},
};
constexpr size_t kViewRowCount = sizeof kViewRows / sizeof kViewRows[0];
static_assert(kViewRowCount == size_t(ViewEvent::kFreeTextNotKept) + 1);

constexpr char kHoldSubject[] = "hold on M%d.%d = %d";
constexpr char kKeptFor[] = ", kept for ";

bool IsHold(ViewEvent event) { return event >= ViewEvent::kHoldBegun && event <= ViewEvent::kHoldEnded; }

// "<text>: <rest>" as ViewEventText wrote it: the rest.
std::string After(ViewEvent event, const std::string& sentence) {
    const size_t lead = std::string(RowOf(event).text).size() + 2;
    return sentence.size() >= lead ? sentence.substr(lead) : std::string();
}

// The sender of the first part kept of a free text's detail.
std::string KeptFrom(const std::string& sentence) {
    const std::string lead = std::string(RowOf(ViewEvent::kFreeTextKept).text) + " ";
    for (size_t begin = 0; begin < sentence.size();) {
        size_t end = sentence.find("; " + lead, begin);
        if (end == std::string::npos) end = sentence.size();
        const std::string part = sentence.substr(begin, end - begin);
        const size_t kept = part.rfind(kKeptFor);
        if (part.rfind(lead, 0) == 0 && kept != std::string::npos) return part.substr(lead.size(), kept - lead.size());
        begin = end + 2;
    }
    return std::string();
}

}  // namespace

const OutcomeRow& RowOf(ViewEvent event) {
    const size_t i = static_cast<size_t>(event);
    return kViewRows[i < kViewRowCount ? i : kViewRowCount - 1];
}

bool ReadOutcomeEvent(const std::string& event, ViewEvent* viewEvent, std::string* sentence) {
    size_t i = 0;
    if (!FindOutcomeRow(kViewRows, kViewRowCount, event, &i, sentence)) return false;
    *viewEvent = static_cast<ViewEvent>(i);
    return true;
}

std::string HoldEvent(ViewEvent verdict, int32_t site, int32_t address, uint32_t value, const std::string& rest) {
    char subject[64];
    std::snprintf(subject, sizeof subject, kHoldSubject, static_cast<int>(site), static_cast<int>(address),
                  static_cast<int>(static_cast<int32_t>(value)));
    const std::string text = RowOf(verdict).text;
    const std::string verdictText = verdict == ViewEvent::kHoldBegun ? ": " + text + " " : " " + text + ": ";
    return OutcomeEvent(verdict, subject + verdictText + rest);
}

std::string ViewEventText(ViewEvent event, const std::string& rest) {
    return OutcomeEvent(event, std::string(RowOf(event).text) + ": " + rest);
}

std::string FreeTextPart(const std::string& from, bool keyed, bool kept, const std::string& slot) {
    return std::string(RowOf(ViewEvent::kFreeTextKept).text) + " " + from + (keyed ? " (unauthenticated)" : "") +
           (kept ? kKeptFor + slot : ": not kept, " + slot + " holds one sent after it");
}

bool ReadViewEvent(const std::string& event, ViewEventFields* fields) {
    std::string sentence;
    if (!ReadOutcomeEvent(event, &fields->event, &sentence)) return false;
    const ViewEvent e = fields->event;
    if (IsHold(e)) {
        int site = 0, address = 0, value = 0;
        if (std::sscanf(sentence.c_str(), kHoldSubject, &site, &address, &value) != 3) return false;
        fields->site = site;
        fields->address = address;
        fields->value = value;
    } else if (e == ViewEvent::kStaleAfter) {
        fields->seconds = static_cast<uint32_t>(std::strtoul(After(e, sentence).c_str(), nullptr, 10));
    } else if (e == ViewEvent::kReadFailedByPoll || e == ViewEvent::kReadFailedSilent) {
        fields->words = After(e, sentence);
    } else if (e == ViewEvent::kFreeTextKept) {
        fields->words = KeptFrom(sentence);
    }
    return true;
}

}  // namespace kelvora
