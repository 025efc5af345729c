// Operations from standard input as they come: a person at the prompt
// (Ctrl-C back to the prompt, the station and the numbers written to it kept
// until quit or Ctrl-D), or a program that converses through a pipe (each
// line checked whole, then run, as in a batch).
#include "console_text.h"
#include "exit_codes.h"
#include "interruption.h"
#include "script.h"
#include "session.h"

namespace kelvora_host {

int Session::RunConversation(bool person) {
    SetInterruptionMode(person);
    if (person) WriteOut("kelvora-host: type operations, 'help' for the list, 'quit' or Ctrl-D to end\n");
    int firstFailure = kExitOk;
    for (unsigned number = 1;; ++number) {
        SetAtPrompt(person);
        if (person) {
            // A Ctrl-C that came as the last operation ended is answered by the prompt.
            ClearInterruption();
            WriteOut("kelvora> ");
        }
        std::string line;
        const InputLine got = ReadInputLine(&line, Interrupted);
        SetAtPrompt(false);
        if (Terminating()) return kExitTerminated;
        if (got == InputLine::kInterrupted || (got == InputLine::kEnd && Interrupted())) {
            if (!person) return InterruptedExitCode();
            WriteOut("\n");
            continue;
        }
        if (got == InputLine::kEnd) {
            if (person) WriteOut("\n");
            return person ? kExitOk : firstFailure;
        }
        std::vector<std::string> tokens;
        std::vector<Operation> operations;
        std::string error;
        const std::string origin = person ? std::string() : "stdin:" + std::to_string(number);
        int code = kExitOk;
        if (SplitScriptLine(line, &tokens, &error) && IsQuit(tokens)) return person ? kExitOk : firstFailure;
        if (person && tokens.size() == 1 && tokens[0] == "help") {
            WriteOut(std::string(OperationsHelp()) + "\n");
            continue;
        }
        if (error.empty() && ParseOperations(tokens, &operations, &error)) {
            for (Operation& operation : operations) operation.origin = origin;
            code = CheckAll(operations);
            if (code == kExitOk) code = RunBatch(operations);
        } else {
            WriteErr("kelvora-host: " + (origin.empty() ? "" : origin + ": ") + error +
                     (person ? " ('help' lists the operations)" : "") + "\n");
            code = kExitUsage;
        }
        if (person || code == kExitOk) continue;
        if (code == kExitInterrupted || code == kExitTerminated || !settings_.keepGoing) return code;
        if (firstFailure == kExitOk) firstFailure = code;
    }
}

}  // namespace kelvora_host
