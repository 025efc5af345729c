// Operations from a person at the prompt, as they come: each line checked
// whole, then run; Ctrl-C back to the prompt, the station and the numbers
// written to it kept until quit or Ctrl-D.
#include "console_text.h"
#include "exit_codes.h"
#include "interruption.h"
#include "script.h"
#include "session.h"

namespace kelvora_host {

int Session::RunPrompt() {
    SetInterruptionMode(true);
    WriteOut("kelvora-host: type operations, 'help' for the list, 'quit' or Ctrl-D to end\n");
    for (;;) {
        SetAtPrompt(true);
        // A Ctrl-C that came as the last operation ended is answered by the prompt.
        ClearInterruption();
        WriteOut("kelvora> ");
        std::string line;
        const InputLine got = ReadInputLine(&line, Interrupted);
        SetAtPrompt(false);
        if (Terminating()) return InterruptedExitCode();
        if (got == InputLine::kInterrupted || (got == InputLine::kEnd && Interrupted())) {
            WriteOut("\n");
            continue;
        }
        if (got == InputLine::kEnd) {
            WriteOut("\n");
            return kExitOk;
        }
        std::vector<std::string> tokens;
        std::vector<Operation> operations;
        std::string error;
        if (SplitScriptLine(line, &tokens, &error) && IsQuit(tokens)) return kExitOk;
        if (tokens.size() == 1 && tokens[0] == "help") {
            WriteOut(std::string(OperationsHelp()) + "\n");
            continue;
        }
        if (error.empty() && ParseOperations(tokens, &operations, &error)) {
            if (CheckAll(operations) == kExitOk) RunBatch(operations);
        } else {
            WriteErr("kelvora-host: " + error + " ('help' lists the operations)\n");
        }
    }
}

}  // namespace kelvora_host
