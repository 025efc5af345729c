// What became of one message handed to the modem: accepted with its message
// reference, not sent at all (a number or text the driver refuses), refused
// by the modem or the network, not answered in time, lost to the port before
// it was handed over, or cut off by the port after it was.
#pragma once

#include <cstdint>

#include "modem/send_checks.h"

namespace kelvora {

enum class SendOutcome : uint8_t {
    kAccepted,    // "+CMGS: <mr>" and OK
    kNotSent,     // refused before anything was written: number, text, or a PDU too long
    kRefused,     // a final error result to the command or to the PDU
    kNoAnswer,    // neither an acceptance nor an error by the time-out
    kPortFailed,  // the port failed before the message was handed to the modem: not sent
    kCutOff,      // the port failed after the message was handed to the modem: not confirmed, it may have gone out
};

struct SendResult {
    SendOutcome outcome = SendOutcome::kNotSent;
    int32_t errorNumber = -1;       // of "+CMS ERROR: <n>", when there was one
    int32_t messageReference = -1;  // the <mr> of "+CMGS: <mr>"
    SendRefusal refusal = SendRefusal::kNone;  // why, when kNotSent
};

}  // namespace kelvora
