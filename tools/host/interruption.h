// Ctrl-C at the console. The first press asks the running work to stop at
// its next bound: a batch ends before its next operation (exit 130), a
// person's session goes back to its prompt. The driver's own waits (the
// pause before a message, a modem dialogue) cannot be cut short; in a batch
// a second press ends the program at once (a message under way is cancelled
// with ESC first, so that the modem is not left waiting for its text), in a
// person's session it never does, so that the station's numbers are not
// lost. A termination request (SIGTERM, SIGHUP, the console window closed)
// always ends the program, the same way a batch ends. Where the program ends
// at once, without unwinding, the console's private trace file is removed
// first.
#pragma once

#include <cstdint>

namespace kelvora_host {

constexpr int kExitInterrupted = 130;  // as a shell reports a program ended by SIGINT

void InstallInterruption();
bool Interrupted();
// Whether the program is to end (not only the running work).
bool Terminating();
// The exit code of a program that stopped because it was interrupted: 130,
// or for a termination request 128 and its signal (143 SIGTERM, 129 SIGHUP),
// as a shell reports a program those signals ended.
int InterruptedExitCode();
// A person's session: the interruption has been answered (back at the prompt).
void ClearInterruption();
// Whether a person is at the prompt (Ctrl-C returns there and never ends the
// program), and whether the program is waiting at the prompt right now (a
// press then only asks for a new prompt).
void SetInterruptionMode(bool person);
void SetAtPrompt(bool atPrompt);
// The open port's platform handle (PortConfig's sharedHandle), and whether
// the station is handing a message to the modem right now.
void SetPortForCancel(uint32_t handle);
void SetSendUnderWay(bool underWay);

}  // namespace kelvora_host
