// probe: talks to the modem directly through the driver's serial port and
// reports what the driver needs of it: answers to AT, verbose result codes,
// PDU mode, command echo, message storage and its fill, service centre.
#pragma once

#include <string>

#include "port_options.h"

namespace kelvora_host {

struct ProbeSettings {
    bool fix = false;         // send ATE0, ATV1, AT+CMGF=0 and save with AT&W first
    uint32_t answerMs = 3000; // longest wait for one answer
};

// Returns an exit code: ok when the driver can work with the modem.
int ProbeModem(const PortOptions& options, const ResolvedPort& port, const ProbeSettings& settings);

}  // namespace kelvora_host
