// A message's send as one event of the trace, written by whoever decided
// its outcome (the modem layer, or a station that refused it first) and
// read back by the console through the same code:
//   send "X" to 8613900000005 via 8613800100500: refused by the modem or the network, error 500 [send-refused]
//   send "X" to "12": not sent: the destination has fewer than 11 characters [send-not-sent]
// The subject, the row's text, the message reference, the error number and
// the reason in that order, then the row's name.
#pragma once

#include <cstdint>
#include <string>

#include "driver/outcome_table.h"

namespace kelvora {

// subject: "send \"X\" to N via S", "bit write of M5.124"; reason: why it was
// not sent (empty for none).
std::string SendEvent(SendOutcome outcome, const std::string& subject, const std::string& reason = std::string(),
                      int32_t errorNumber = -1, int32_t reference = -1);

struct SendEventRead {
    SendOutcome outcome = SendOutcome::kNotSent;
    std::string reason;
    int32_t errorNumber = -1;
};

// false when event is not a send's.
bool ReadSendEvent(const std::string& event, SendEventRead* read);

}  // namespace kelvora
