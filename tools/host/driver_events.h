// What the driver's dialogue trace tells the console about the operation it
// just ran: each poll's summary (and whether the modem answered it or refused
// its listing), and what became of a message the station handed to the
// modem, in the driver's own words. The console never guesses a reason the
// driver did not give.
#pragma once

#include <string>
#include <vector>

#include "driver/outcome_table.h"

namespace kelvora_host {

enum class SendFate {
    kUnknown,      // no send line: the trace is not followed, or nothing was sent
    kAccepted,
    kNotSent,      // the driver refused it before writing anything
    kRefused,      // a final error result from the modem or the network
    kNoAnswer,     // no answer by the time-out: the message may have gone out
    kPortFailed,   // before the message was handed to the modem: not sent
    kCutOff,       // after it was: not confirmed, it may have gone out
};

struct DriverEvents {
    std::vector<std::string> polls;  // "listed 2, applied 1, ..."
    bool pollUnanswered = false;     // a poll the modem did not answer
    bool pollRefused = false;        // a poll whose listing the modem refused
    int pollError = -1;              // its error number, -1 for a plain ERROR
    // The serial line: it broke or a reopen failed (lineDown), or a reopen
    // brought it back (lineBack); lineDown tells the state after the last of
    // them, lineBack whether any came back.
    bool lineEvent = false;
    bool lineDown = false;
    bool lineBack = false;
    SendFate send = SendFate::kUnknown;
    std::string sendDetail;          // why the driver did not send it
    int errorNumber = -1;
};

// Reads the trace lines one operation left.
DriverEvents ReadDriverEvents(const std::vector<std::string>& lines);

// "error 322 (memory full)": the number of a +CMS ERROR or +CME ERROR, with
// its meaning from the driver's outcome table.
using kelvora::DescribeSmsError;

}  // namespace kelvora_host
