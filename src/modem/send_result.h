// What became of one message handed to the modem: accepted with its message
// reference, not sent at all (a number or text the driver refuses), refused
// by the modem or the network, not answered in time, or lost to the port.
#pragma once

#include <cstdint>

#include "modem/send_checks.h"

namespace kelvora {

enum class SendOutcome : uint8_t {
    kAccepted,    // "+CMGS: <mr>" and OK
    kNotSent,     // refused before anything was written: number, text, or a PDU too long
    kRefused,     // a final error result to the command or to the PDU
    kNoAnswer,    // neither an acceptance nor an error by the time-out
    kPortFailed,  // the write or a read failed
};

struct SendResult {
    SendOutcome outcome = SendOutcome::kNotSent;
    int32_t errorNumber = -1;       // of "+CMS ERROR: <n>", when there was one
    int32_t messageReference = -1;  // the <mr> of "+CMGS: <mr>"
    SendRefusal refusal = SendRefusal::kNone;  // why, when kNotSent
};

}  // namespace kelvora
