// A person at the prompt: line by line, Ctrl-C back to the prompt, the
// station (and the numbers written to it) kept until quit or end of input.
#include "console_text.h"
#include "exit_codes.h"
#include "interruption.h"
#include "script.h"
#include "session.h"

namespace kelvora_host {

int Session::RunInteractive() {
    SetInterruptionMode(true);
    WriteOut("kelvora-host: type operations, 'help' for the list, 'quit' or Ctrl-D to end\n");
    for (;;) {
        // A Ctrl-C that came as the last operation ended is answered by the prompt.
        ClearInterruption();
        WriteOut("kelvora> ");
        SetAtPrompt(true);
        std::string line;
        const InputLine got = ReadInputLine(&line);
        SetAtPrompt(false);
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
        if (!SplitScriptLine(line, &tokens, &error) || !ParseOperations(tokens, &operations, &error)) {
            if (tokens.size() == 1 && tokens[0] == "help") {
                WriteOut(std::string(OperationsHelp()) + "\n");
            } else if (IsQuit(tokens)) {
                return kExitOk;
            } else {
                WriteErr("kelvora-host: " + error + " ('help' lists the operations)\n");
            }
            continue;
        }
        if (CheckAll(operations) == kExitOk) RunBatch(operations);
    }
}

}  // namespace kelvora_host
