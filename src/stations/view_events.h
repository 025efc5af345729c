// The words the central station's trace tells its view with: the settings
// in force, a written value held against reports and what became of the
// hold, a read failed for a silent site or a failed poll, a report applied
// or refused, a free text kept. The console reads its fleet's status back
// from these same words (tools/host), so they are written once, here.
#pragma once

namespace kelvora::view_events {

// "stale after: 60 s ..." or "stale after: off ..." at the station's creation.
constexpr char kStaleAfter[] = "stale after: ";
constexpr char kHoldWrites[] = "hold writes: ";

// "hold on M5.120 = 42" followed by one of the verdicts below.
constexpr char kHoldOn[] = "hold on M";
constexpr char kHoldBegun[] = ": held until ";         // the write was accepted
constexpr char kHoldKept[] = " kept: ";                // a report showed another value: not applied
constexpr char kHoldConfirmed[] = " confirmed: ";      // a report showed the written value
constexpr char kHoldContradicted[] = " given up: ";    // a report sent late enough after showed another
constexpr char kHoldExpired[] = " ended: ";            // the time bound passed

// "read failed: site 5 silent ..." before the read's own line (status 5).
constexpr char kReadFailed[] = "read failed: ";

// What became of a listed report at the centre (the message's detail);
// a report listed with any other detail was taken before (a copy).
constexpr char kReportApplied[] = "report applied for site ";       // "... 5, addresses 120..124"
constexpr char kReportRefusedBySender[] = "refused by the sender check: DETC";  // "...5 is ..."
constexpr char kReportSentBefore[] = "report for site ";            // "... 5, addresses ... sent 4 s before ..."
constexpr char kReportForNoSite[] = "a report for no site";
// A frame refused by the key check, at either station: "refused by the key
// check: report for site 5: a replay: ...".
constexpr char kRefusedByKey[] = "refused by the key check: ";
// A free text from a keyed peer: "free text from site 5 (unauthenticated)".
constexpr char kUnauthenticated[] = " (unauthenticated)";

// A free text kept for the host: "free text from site 5, kept for SEND_MSG5".
constexpr char kFreeTextKept[] = "free text from ";

}  // namespace kelvora::view_events
