// Ctrl-C at the console. The first press asks the running work to stop at
// its next bound: a batch ends before its next operation (exit 130), an
// interactive session goes back to its prompt. The driver's own waits (the
// pause before a message, a modem dialogue) cannot be cut short; in a batch
// a second press ends the program at once, in an interactive session it
// never does, so that the station's numbers are not lost.
#pragma once

namespace kelvora_host {

constexpr int kExitInterrupted = 130;  // as a shell reports a program ended by SIGINT

void InstallInterruption();
bool Interrupted();
// Interactive sessions: the interruption has been answered (back at the prompt).
void ClearInterruption();
// Whether a second press may end the program at once (batches), and whether
// the program is waiting at a prompt (a press then only asks for a new one).
void SetInterruptionMode(bool interactive);
void SetAtPrompt(bool atPrompt);

}  // namespace kelvora_host
