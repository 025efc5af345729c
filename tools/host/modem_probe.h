// probe: talks to the modem with the driver's modem code on a port of its own and
// reports what the driver needs of it (answers to AT, verbose result codes,
// PDU mode, command echo, message storage and its fill, service centre),
// and what a field engineer needs to know of it (identity, the SIM's own
// number, PIN, registration and signal); it can send one test message.
#pragma once

#include <string>

#include "port_options.h"

namespace kelvora_host {

struct ProbeSettings {
    bool fix = false;          // send ATE0, ATV1, AT+CMGF=0 and save with AT&W first
    uint32_t answerMs = 3000;  // the reply time-out of each command
    std::string testNumber;    // send one test message to this number
    bool showDialogue = false; // every command and answer on standard error
};

// Returns an exit code: ok when the driver can work with the modem.
int ProbeModem(const PortOptions& options, const ResolvedPort& port, const ProbeSettings& settings);

}  // namespace kelvora_host
