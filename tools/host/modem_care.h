// The modem, looked after from the console with the driver's modem code on
// a port of its own (never through a station): one AT command, the stored
// messages, and emptying the storage.
#pragma once

#include <string>
#include <vector>

#include "port_options.h"

namespace kelvora_host {

struct ModemCareSettings {
    uint32_t answerMs = 3000;  // the reply time-out of each command
    bool yes = false;          // modem clear: no question asked
    std::vector<std::string> keyFiles;  // modem storage: keys to check signed frames with ("FILE" or "N=FILE")
};

// modem at CMD: sends one command ("AT" added when missing), prints the answer.
int RunModemAt(const PortOptions& options, const ResolvedPort& port, const std::string& command,
               const ModemCareSettings& settings);
// modem storage: lists every stored message, decoded.
int RunModemStorage(const PortOptions& options, const ResolvedPort& port, const ModemCareSettings& settings);
// modem clear: deletes every stored message after a confirmation.
int RunModemClear(const PortOptions& options, const ResolvedPort& port, const ModemCareSettings& settings);

}  // namespace kelvora_host
