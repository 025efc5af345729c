// What became of one message handed to the modem: accepted with its message
// reference, not sent at all (a number or text the driver refuses), refused
// by the modem or the network, not answered in time, lost to the port before
// it was handed over, or cut off by the port after it was.
#pragma once

#include <cstdint>

#include "driver/outcome_table.h"
#include "modem/send_checks.h"

namespace kelvora {

struct SendResult {
    SendOutcome outcome = SendOutcome::kNotSent;
    int32_t errorNumber = -1;       // of "+CMS ERROR: <n>", when there was one
    int32_t messageReference = -1;  // the <mr> of "+CMGS: <mr>"
    SendRefusal refusal = SendRefusal::kNone;  // why, when kNotSent
};

}  // namespace kelvora
