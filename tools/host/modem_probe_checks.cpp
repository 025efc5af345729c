// The probe's checks, one AT question or a few each.
#include "modem_probe_checks.h"

#include <cstdio>
#include <cstdlib>

#include "console_text.h"
#include "driver_events.h"
#include "stored_messages.h"

namespace kelvora_host {
namespace {

// The largest storage the driver lists in one poll.
constexpr int kListedPerPoll = 128;

std::string Unquoted(std::string text) {
    while (!text.empty() && (text.front() == '"' || text.front() == ' ')) text.erase(text.begin());
    while (!text.empty() && (text.back() == '"' || text.back() == ' ')) text.pop_back();
    return text;
}

// The one line an identification command answers with, or "".
std::string IdentityLine(ModemLine& line, const char* command) {
    const Answer answer = line.Ask(command);
    if (!answer.ok()) return std::string();
    const std::vector<std::string> lines = answer.Lines();
    if (lines.empty()) return std::string();
    std::string text = lines.front();
    // Some modems repeat the command's name: "+CGMI: Kelvora".
    const size_t colon = text.find(':');
    if (text[0] == '+' && colon != std::string::npos) text = Unquoted(text.substr(colon + 1));
    return text;
}

}  // namespace

void ProbeFindings::Line(const char* verdict, const std::string& text) {
    char head[16];
    std::snprintf(head, sizeof(head), "  %-6s", verdict);
    WriteOut(head + text + "\n");
}

void CheckIdentity(ModemLine& line, ProbeFindings& findings) {
    const std::string maker = IdentityLine(line, "AT+CGMI");
    const std::string model = IdentityLine(line, "AT+CGMM");
    const std::string revision = IdentityLine(line, "AT+CGMR");
    const std::string imei = IdentityLine(line, "AT+CGSN");
    std::string text = maker + (maker.empty() || model.empty() ? "" : " ") + model;
    if (!revision.empty()) text += (text.empty() ? "revision " : ", revision ") + revision;
    if (!imei.empty()) text += (text.empty() ? "IMEI " : ", IMEI ") + imei;
    findings.Info(text.empty() ? "the modem does not tell its maker and model (AT+CGMI, AT+CGMM)" : "modem: " + text);
}

void CheckSim(ModemLine& line, ProbeFindings& findings) {
    std::string state;
    if (line.Ask("AT+CPIN?").Field("+CPIN:", &state)) {
        state = Unquoted(state);
        if (state == "READY") {
            findings.Ok("SIM ready (no PIN wanted)");
        } else {
            findings.Problem("the SIM wants " + state + ": enter it (AT+CPIN=\"...\") or switch the PIN off with a "
                             "phone; the driver never enters one");
        }
    } else {
        findings.Warn("SIM state not reported (AT+CPIN?): is a SIM card in?");
    }
    std::string number;
    const Answer answer = line.Ask("AT+CNUM");
    if (answer.Field("+CNUM:", &number)) {
        const std::vector<std::string> fields = SplitFields(number);
        number = fields.size() > 1 ? Unquoted(fields[1]) : std::string();
    }
    if (!number.empty()) {
        findings.Info("the SIM's own number: " + number + " (the other end writes it into its DETC)");
    } else {
        findings.Info("the SIM does not hold its own number (AT+CNUM); find it on the SIM's papers, or send a test "
                      "message to a phone (probe --send-test NUMBER) and read the sender there");
    }
}

void CheckStorage(ModemLine& line, ProbeFindings& findings) {
    const Answer answer = line.Ask("AT+CPMS?");
    std::string fields;
    if (!answer.Field("+CPMS:", &fields)) {
        findings.Warn("message storage not reported (AT+CPMS? answered " + QuotedBytes(answer.raw) + ")");
        return;
    }
    const std::vector<std::string> parts = SplitFields(fields);
    if (parts.size() < 3) {
        findings.Warn("message storage answer not understood: " + fields);
        return;
    }
    const int used = std::atoi(parts[1].c_str());
    const int total = std::atoi(parts[2].c_str());
    const std::string text = "message storage \"" + parts[0] + "\": " + std::to_string(used) + " of " +
                             std::to_string(total) + " used";
    if (total > 0 && used >= total) {
        findings.Problem(text + ": full, new messages are refused by the network until messages are deleted "
                         "(modem clear)");
    } else if (used > kListedPerPoll) {
        findings.Warn(text + ": a poll lists " + std::to_string(kListedPerPoll) +
                      " messages, the rest wait for the next polls");
    } else if (used > 0) {
        findings.Warn(text + ": the driver reads and then DELETES every stored message at its first poll "
                      "(modem storage shows them, modem clear deletes them)");
    } else {
        findings.Ok(text);
    }
}

void CheckListing(ModemLine& line, ProbeFindings& findings, uint32_t timeoutMs) {
    kelvora::ExchangeResult listing;
    const size_t listed = ListStored(line, &listing, timeoutMs).size();
    const std::string waited = std::to_string(timeoutMs) + " ms (--timeout)";
    switch (listing.outcome) {
        case kelvora::ExchangeOutcome::kAnswered:
            findings.Ok("the listing ends with OK (AT+CMGL=4: " + std::to_string(listed) + " message(s))");
            return;
        case kelvora::ExchangeOutcome::kRefused:
            findings.Problem("the modem refuses to list its messages (AT+CMGL=4 answered " +
                             (listing.errorNumber >= 0 ? DescribeSmsError(listing.errorNumber) : std::string("ERROR")) +
                             "): every poll of the driver reads nothing; check the SIM (AT+CPIN?), PDU mode "
                             "(AT+CMGF=0) and the message storage (AT+CPMS?)");
            return;
        default:
            findings.Problem(
                (listing.received > 0 ? "the listing never ends: AT+CMGL=4 gave " + std::to_string(listing.received) +
                                            " bytes and no OK within "
                                      : std::string("no answer to the listing (AT+CMGL=4) within ")) +
                waited + ", and every poll of the driver would end the same way, its messages never deleted; delete "
                "the stored messages (kelvora-host modem clear, which sends AT+CMGD=1,4) and probe again, or, if the "
                "listing is only slow, raise the reply time-out here and in the host");
            return;
    }
}

std::string CheckServiceCentre(ModemLine& line, ProbeFindings& findings) {
    std::string fields;
    if (!line.Ask("AT+CSCA?").Field("+CSCA:", &fields)) {
        findings.Info("service centre not reported by the modem (AT+CSCA?); set it in the SMSC registers");
        return std::string();
    }
    const std::string number = Unquoted(SplitFields(fields)[0]);
    findings.Info("service centre in the modem: \"" + number +
                  "\"; the driver sends the number of its SMSC register in every message, so write this number "
                  "there");
    return number;
}

void CheckNetwork(ModemLine& line, ProbeFindings& findings) {
    std::string fields;
    if (line.Ask("AT+CREG?").Field("+CREG:", &fields)) {
        const std::vector<std::string> parts = SplitFields(fields);
        const int state = std::atoi(parts.size() > 1 ? parts[1].c_str() : parts[0].c_str());
        static const char* const kStates[] = {"not registered, not searching", "registered, home network",
                                              "searching", "registration denied", "unknown",
                                              "registered, roaming"};
        const std::string text = std::string("network: ") + (state >= 0 && state <= 5 ? kStates[state] : "?");
        if (state == 1 || state == 5) {
            findings.Ok(text);
        } else {
            findings.Warn(text + ": messages will not go out");
        }
    } else {
        findings.Warn("network registration not reported (AT+CREG?)");
    }
    if (line.Ask("AT+CSQ").Field("+CSQ:", &fields)) {
        const int rssi = std::atoi(SplitFields(fields)[0].c_str());
        if (rssi == 99) {
            findings.Warn("signal: unknown (AT+CSQ 99)");
        } else if (rssi < 10) {
            findings.Warn("signal: weak (AT+CSQ " + std::to_string(rssi) + " of 31)");
        } else {
            findings.Ok("signal: AT+CSQ " + std::to_string(rssi) + " of 31");
        }
    } else {
        findings.Warn("signal not reported (AT+CSQ)");
    }
}

}  // namespace kelvora_host
