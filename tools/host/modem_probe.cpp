// The modem probe: a short AT dialogue with bounded waits, read as a field
// engineer needs it. Each finding is one line: ok, info, warn or FAIL.
#include "modem_probe.h"

#include <cstdio>
#include <cstdlib>

#include "console_text.h"
#include "exit_codes.h"
#include "modem_line.h"
#include "modem_probe_checks.h"
#include "test_message.h"

namespace kelvora_host {
namespace {

// Why an answer is not what was asked for, for a probe line.
std::string AnswerText(const Answer& answer) {
    switch (answer.kind) {
        case AnswerKind::kNone: return "no answer";
        case AnswerKind::kError: return answer.final;
        case AnswerKind::kNumericError: return "4 (ERROR, numeric)";
        case AnswerKind::kNumericOk: return "0 (OK, numeric)";
        case AnswerKind::kOk: return "OK";
        default: return QuotedBytes(answer.raw);
    }
}

void SendFixes(ModemLine& line, ProbeFindings& findings) {
    for (const char* command : {"ATQ0", "ATE0", "ATV1", "AT+CMGF=0", "AT&W"}) {
        const Answer answer = line.Ask(command);
        if (answer.ok()) {
            findings.Info(std::string("sent ") + command + ": OK");
        } else {
            findings.Warn(std::string("sent ") + command + ": refused (" + AnswerText(answer) + ")");
        }
    }
}

// Text a person can read: no control bytes beyond the line ends.
bool Readable(const std::string& text) {
    for (unsigned char c : text) {
        if ((c < 0x20 && c != '\r' && c != '\n') || c > 0x7E) return false;
    }
    return true;
}

// A modem in quiet mode (ATQ1) gives no result code at all: it echoes a
// command (when echo is on) and answers an identification with its text,
// but never says OK, which every exchange of the driver waits for.
bool InQuietMode(ModemLine& line, const Answer& toAt) {
    if (toAt.kind == AnswerKind::kUnclear && toAt.Lines().empty()) return true;  // the echo alone
    const Answer toAti = line.Ask("ATI");
    return toAti.kind == AnswerKind::kUnclear && !toAti.Lines().empty() && Readable(toAti.raw);
}

// The first and most telling question. Returns false when the probe cannot
// go on: nothing answers, or the modem refuses everything.
bool CheckAnswers(ModemLine& line, ProbeFindings& findings, const ResolvedPort& port) {
    Answer answer;
    for (int attempt = 0; attempt < 3 && answer.kind == AnswerKind::kNone; ++attempt) answer = line.Ask("AT");
    if ((answer.kind == AnswerKind::kNone || answer.kind == AnswerKind::kUnclear) && InQuietMode(line, answer)) {
        findings.Problem("the modem gives no result codes (quiet mode, ATQ1): it hears commands but never says OK, "
                         "and the driver waits for OK; send ATQ0 and save with AT&W (or run probe --fix)");
        return false;
    }
    switch (answer.kind) {
        case AnswerKind::kNone: {
            const std::string users = OtherPortUsers(port);
            if (!users.empty()) {
                findings.Problem("no answer to AT, and the port is busy: also open in " + users +
                                 "; that program takes the modem's answers: stop it");
            } else {
                findings.Problem("no answer to AT: check power, cable, port name and baud rate (try --baud 115200 "
                                 "or 9600)");
            }
            return false;
        }
        case AnswerKind::kOk:
            findings.Ok("answers AT");
            findings.Ok("verbose result codes (ATV1)");
            break;
        case AnswerKind::kNumericOk:
        case AnswerKind::kNumericError:
            findings.Ok("answers AT");
            findings.Problem("numeric result codes (ATV0): the driver waits for \"OK\"; send ATV1 and save with "
                             "AT&W (or run probe --fix)");
            break;
        case AnswerKind::kError:
            findings.Problem("the modem answers " + answer.final + " even to AT: it refuses every command; reset it "
                             "(AT&F, or power it off and on) and probe again");
            return false;
        default:
            findings.Problem("answer to AT not understood: " + QuotedBytes(answer.raw) +
                             "; a wrong baud rate or parity gives such noise");
            return false;
    }
    if (answer.raw.rfind("AT\r", 0) == 0) {
        findings.Warn("command echo is on (ATE1): the driver copes, but send ATE0 and save with AT&W");
    } else {
        findings.Ok("command echo off (ATE0)");
    }
    return true;
}

void CheckMessageFormat(ModemLine& line, ProbeFindings& findings) {
    std::string mode;
    Answer answer = line.Ask("AT+CMGF?");
    if (answer.Field("+CMGF:", &mode)) {
        if (mode.compare(0, 1, "0") == 0) {
            findings.Ok("PDU mode (AT+CMGF=0)");
        } else {
            findings.Problem("text mode (AT+CMGF=" + mode + "): the driver speaks PDU mode; send AT+CMGF=0 and save "
                             "with AT&W (or run probe --fix)");
        }
        return;
    }
    answer = line.Ask("AT+CMGF=0");
    if (answer.ok()) {
        findings.Warn("message format not reported, but AT+CMGF=0 was accepted: save it with AT&W");
    } else {
        findings.Problem("the modem refuses PDU mode (AT+CMGF=0 answered " + AnswerText(answer) + ")");
    }
}

}  // namespace

int ProbeModem(const PortOptions& options, const ResolvedPort& resolved, const ProbeSettings& settings) {
    char head[200];
    std::snprintf(head, sizeof(head), "probe of the modem on %s at %u baud, %d%c%d\n", resolved.display.c_str(),
                  static_cast<unsigned>(options.baud), options.dataBits,
                  static_cast<char>(std::toupper(static_cast<unsigned char>(options.parity[0]))), options.stopBits);
    WriteOut(head);

    ModemLine line;
    std::string error;
    if (!line.Open(options, resolved, settings.answerMs, &error)) {
        WriteErr("kelvora-host: " + error + "\n");
        return kExitPortFailed;
    }
    ProbeFindings findings;
    line.SetProgress([&findings](const std::string& what) { findings.Waiting(what); });
    line.SetShowDialogue(settings.showDialogue);

    if (settings.fix) SendFixes(line, findings);
    if (!CheckAnswers(line, findings, resolved)) {
        WriteOut("result: NOT READY (" + std::to_string(findings.problems()) + " problem(s) to mend)\n");
        return kExitNotReached;
    }
    CheckIdentity(line, findings);
    CheckSim(line, findings);
    CheckMessageFormat(line, findings);
    CheckStorage(line, findings);
    CheckListing(line, findings, static_cast<uint32_t>(options.timeoutMs));
    const std::string serviceCentre = CheckServiceCentre(line, findings);
    CheckNetwork(line, findings);
    if (!settings.testNumber.empty()) {
        SendTestMessage(line, findings, settings.testNumber, serviceCentre);
    }
    line.Close();

    if (findings.problems() > 0) {
        WriteOut("result: NOT READY: " + std::to_string(findings.problems()) + " problem(s) to mend\n");
        return kExitNotReached;
    }
    WriteOut(std::string("result: ready for Kelvora") +
             (findings.warnings() > 0 ? " (" + std::to_string(findings.warnings()) + " warning(s))" : "") + "\n");
    return kExitOk;
}

}  // namespace kelvora_host
