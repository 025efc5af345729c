// probe --send-test: one short message through the modem, sent by the
// driver's own SendSms (numbers, encoding, AT+CMGS, prompt, answer), to show
// that the network takes it.
#pragma once

#include <string>

#include "modem_line.h"
#include "modem_probe_checks.h"

namespace kelvora_host {

// serviceCentre: the modem's own (AT+CSCA?), or "" for the driver's default.
void SendTestMessage(ModemLine& line, ProbeFindings& findings, const std::string& number,
                     const std::string& serviceCentre);

}  // namespace kelvora_host
