// modem at, modem storage, modem clear.
#include "modem_care.h"

#include <cstdlib>

#include "console_text.h"
#include "exit_codes.h"
#include "interruption.h"
#include "key_files.h"
#include "modem_line.h"
#include "stored_messages.h"

namespace kelvora_host {
namespace {

struct StorageFill {
    bool known = false;
    int used = 0;
    int total = 0;
    std::string memory;
};

bool OpenLine(ModemLine& line, const PortOptions& options, const ResolvedPort& port, uint32_t answerMs) {
    std::string error;
    if (!line.Open(options, port, answerMs, &error)) {
        WriteErr("kelvora-host: " + error + "\n");
        return false;
    }
    line.SetProgress([](const std::string& what) { WriteErr("kelvora-host: waiting for the answer to " + what + "\n"); });
    return true;
}

StorageFill ReadFill(ModemLine& line) {
    StorageFill fill;
    std::string fields;
    if (!line.Ask("AT+CPMS?").Field("+CPMS:", &fields)) return fill;
    const std::vector<std::string> parts = SplitFields(fields);
    if (parts.size() < 3) return fill;
    fill.known = true;
    fill.memory = parts[0];
    fill.used = std::atoi(parts[1].c_str());
    fill.total = std::atoi(parts[2].c_str());
    return fill;
}

std::string FillText(const StorageFill& fill) {
    return "message storage \"" + fill.memory + "\": " + std::to_string(fill.used) + " of " +
           std::to_string(fill.total) + " used";
}

bool Confirmed(const StorageFill& fill, const ResolvedPort& port) {
    if (!InputIsTerminal()) {
        WriteErr("kelvora-host: modem clear deletes every stored message; confirm with --yes\n");
        return false;
    }
    WriteOut("delete " + (fill.known ? "all " + std::to_string(fill.used) : std::string("all")) +
             " messages stored in the modem on " + port.display + "? [y/N] ");
    std::string answer;
    if (ReadInputLine(&answer, Interrupted) != InputLine::kLine) return false;
    return answer == "y" || answer == "Y" || answer == "yes";
}

// The indices that hold a message: "+CMGD: (1,2,5),(0-4)" lists them
// without reading them; a listing is the fallback.
std::vector<int> StoredIndices(ModemLine& line) {
    std::vector<int> indices;
    std::string fields;
    if (line.Ask("AT+CMGD=?").Field("+CMGD:", &fields) && fields.size() > 1 && fields[0] == '(') {
        const std::string list = fields.substr(1, fields.find(')') - 1);
        for (const std::string& part : SplitFields(list)) {
            if (!part.empty() && part.find('-') == std::string::npos) indices.push_back(std::atoi(part.c_str()));
        }
        return indices;
    }
    for (const StoredMessage& message : ListStored(line)) indices.push_back(message.record.index);
    return indices;
}

}  // namespace

int RunModemAt(const PortOptions& options, const ResolvedPort& port, const std::string& command,
               const ModemCareSettings& settings) {
    ModemLine line;
    if (!OpenLine(line, options, port, settings.answerMs)) return kExitPortFailed;
    const bool hasPrefix = command.size() >= 2 && (command[0] == 'A' || command[0] == 'a') &&
                           (command[1] == 'T' || command[1] == 't');
    const Answer answer = line.Ask(hasPrefix ? command : "AT" + command);
    for (const std::string& text : answer.Lines()) WriteOut(LineText(text) + "\n");
    switch (answer.kind) {
        case AnswerKind::kOk:
        case AnswerKind::kNumericOk:
            WriteOut(answer.final + "\n");
            return kExitOk;
        case AnswerKind::kError:
        case AnswerKind::kNumericError:
            WriteOut(answer.final + "\n");
            WriteErr("kelvora-host: the modem refused the command\n");
            return kExitOperationFailed;
        case AnswerKind::kPrompt:
            line.Send("\x1B");
            WriteErr("kelvora-host: the modem waits for a message after this command; cancelled with ESC "
                     "(probe --send-test sends a test message)\n");
            return kExitOperationFailed;
        case AnswerKind::kNone:
            WriteErr("kelvora-host: no answer within " + std::to_string(settings.answerMs) +
                     " ms (--answer-timeout)\n");
            return kExitNotReached;
        default:
            WriteErr("kelvora-host: the answer has no final result code: " + QuotedBytes(answer.raw) + "\n");
            return kExitNotReached;
    }
}

int RunModemStorage(const PortOptions& options, const ResolvedPort& port, const ModemCareSettings& settings) {
    StorageKeys keys;
    std::string why;
    if (!keys.Load(settings.keyFiles, &why)) {
        WriteErr("kelvora-host: " + why + "\n");
        return kExitUsage;
    }
    ModemLine line;
    if (!OpenLine(line, options, port, settings.answerMs)) return kExitPortFailed;
    const StorageFill fill = ReadFill(line);
    if (fill.known) WriteOut(FillText(fill) + "\n");
    if (fill.known && fill.used == 0) return kExitOk;
    kelvora::ExchangeResult listing;
    const std::vector<StoredMessage> messages = ListStored(line, &listing);
    if (listing.outcome != kelvora::ExchangeOutcome::kAnswered) {
        WriteErr(std::string("kelvora-host: the modem did not list its messages (AT+CMGL=4: ") +
                 kelvora::OutcomeText(listing.outcome) +
                 (listing.errorNumber >= 0 ? ", error " + std::to_string(listing.errorNumber) : "") +
                 "); is it in PDU mode? (probe)\n");
        return listing.outcome == kelvora::ExchangeOutcome::kNoAnswer ? kExitNotReached : kExitOperationFailed;
    }
    WriteOut("index status\n");
    for (const StoredMessage& message : messages) {
        WriteOut(DescribeStoredMessage(message) + keys.Describe(message.record) + "\n");
    }
    WriteOut(std::to_string(messages.size()) +
             " message(s); listing marks unread ones read, as every listing does. The driver takes and deletes "
             "them all at its next poll; 'modem clear' deletes them now.\n");
    return kExitOk;
}

int RunModemClear(const PortOptions& options, const ResolvedPort& port, const ModemCareSettings& settings) {
    ModemLine line;
    if (!OpenLine(line, options, port, settings.answerMs)) return kExitPortFailed;
    StorageFill fill = ReadFill(line);
    if (fill.known && fill.used == 0) {
        WriteOut(FillText(fill) + ": nothing to delete\n");
        return kExitOk;
    }
    if (!settings.yes && !Confirmed(fill, port)) {
        WriteOut("nothing deleted\n");
        return InputIsTerminal() ? kExitOk : kExitUsage;
    }
    int refused = 0;
    const Answer all = line.Ask("AT+CMGD=1,4");
    if (all.kind == AnswerKind::kNone) {
        WriteErr("kelvora-host: no answer to AT+CMGD=1,4 within " + std::to_string(settings.answerMs) +
                 " ms (--answer-timeout): nothing is known to be deleted\n");
        return kExitNotReached;
    }
    if (!all.ok()) {
        // No delete-all: one by one.
        kelvora::GsmModem modem = line.Modem();
        for (int index : StoredIndices(line)) {
            if (!modem.DeleteMessage(index)) ++refused;
        }
    }
    fill = ReadFill(line);
    if (!fill.known) {
        WriteErr("kelvora-host: the modem did not tell its storage afterwards (AT+CPMS?): the deletes are not "
                 "confirmed\n");
        return kExitNotReached;
    }
    WriteOut("deleted; " + FillText(fill) + "\n");
    if (refused > 0 || fill.used > 0) {
        WriteErr("kelvora-host: " + std::to_string(refused) + " delete(s) refused; " + std::to_string(fill.used) +
                 " message(s) left\n");
        return kExitOperationFailed;
    }
    return kExitOk;
}

}  // namespace kelvora_host
