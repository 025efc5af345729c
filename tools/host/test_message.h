// probe --send-test: one short message through the modem, encoded by the
// driver's own SMS-SUBMIT encoder, to show that the network takes it.
#pragma once

#include <string>

#include "modem_line.h"
#include "modem_probe_checks.h"

namespace kelvora_host {

// The number as the message carries it: digits with the country code 86,
// from "+86...", "0086..." or a national number. false when it is not a
// telephone number.
bool InternationalNumber(const std::string& number, std::string* digits);

// serviceCentre: the modem's own (AT+CSCA?), or "" for the driver's default.
void SendTestMessage(ModemLine& line, ProbeFindings& findings, const std::string& number,
                     const std::string& serviceCentre, uint32_t answerMs);

}  // namespace kelvora_host
