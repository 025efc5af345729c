// The events the central station's trace tells its view with: the settings
// in force, a written value held against reports and what became of the
// hold, a read failed for a silent site or a failed poll, and a free text
// kept (at either station). Each has a row (stable name, text) in the style
// of the outcome table: the trace writes the name in brackets at the end of
// the event, and the console finds the event by that name and its fields
// through ReadViewEvent, never by the sentence.
//
// What became of a listed report is named by its MessageFate (the outcome
// table); the words below only say it to people.
#pragma once

#include <cstdint>
#include <string>

#include "driver/outcome_table.h"

namespace kelvora {

enum class ViewEvent : uint8_t {
    kStaleAfter,        // "stale after: 60 s ..." or "stale after: off ..." at the station's creation
    kHoldWrites,        // "hold writes: on ..."
    kHoldBegun,         // "hold on M5.120 = 42: held until ...": the write was accepted
    kHoldKept,          // "... kept: ...": a report showed another value, not applied
    kHoldConfirmed,     // "... confirmed: ...": a report showed the written value
    kHoldGivenUp,       // "... given up: ...": a report sent late enough after showed another
    kHoldEnded,         // "... ended: ...": the time bound passed
    kReadFailedByPoll,  // "read failed: the poll for it failed ...", before the read's own line
    kReadFailedSilent,  // "read failed: site 5 silent ...", before the read's own line
    kFreeTextKept,      // a message's detail: "free text from site 5, kept for SEND_MSG5"
    kFreeTextNotKept,   // "free text from site 5: not kept, SEND_MSG5 holds one sent after it"
};

const OutcomeRow& RowOf(ViewEvent event);
bool ReadOutcomeEvent(const std::string& event, ViewEvent* viewEvent, std::string* sentence = nullptr);

// "hold on M5.120 = 42: held until <rest>", "hold on M5.120 = 42 kept: <rest>", ...
std::string HoldEvent(ViewEvent verdict, int32_t site, int32_t address, uint32_t value, const std::string& rest);
// "stale after: <rest>", "hold writes: <rest>", "read failed: <rest>", each with its name.
std::string ViewEventText(ViewEvent event, const std::string& rest);
// One site's part of a free text's detail, without the name: "free text from
// site 5 (unauthenticated), kept for SEND_MSG5". from: "site 5", "the centre".
std::string FreeTextPart(const std::string& from, bool keyed, bool kept, const std::string& slot);

// What the console needs of a view event (or of a message's detail).
struct ViewEventFields {
    ViewEvent event = ViewEvent::kStaleAfter;
    int32_t site = -1;        // a hold's
    int32_t address = 0;      // a hold's
    int32_t value = 0;        // a hold's
    uint32_t seconds = 0;     // the StaleAfter in force; 0: off
    std::string words;        // a failed read's reason; a kept free text's sender ("site 5 (unauthenticated)")
};
// false for an event that is none of the above.
bool ReadViewEvent(const std::string& event, ViewEventFields* fields);

namespace view_events {

// The words of a report's fate at the centre (the message's detail).
constexpr char kReportApplied[] = "report applied for site ";       // "... 5, addresses 120..124"
constexpr char kReportRefusedBySender[] = "refused by the sender check: DETC";  // "...5 is ..."
constexpr char kReportSentBefore[] = "report for site ";            // "... 5, addresses ... sent 4 s before ..."
constexpr char kReportForNoSite[] = "a report for no site";
// A frame refused by the key check, at either station: "refused by the key
// check: report for site 5: a replay: ...".
constexpr char kRefusedByKey[] = "refused by the key check: ";

}  // namespace view_events
}  // namespace kelvora
