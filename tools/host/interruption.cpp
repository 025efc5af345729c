// The Ctrl-C state, shared between the handler and the session.
#include "interruption.h"

#include <atomic>
#include <csignal>
#include <cstdlib>

#include "console_text.h"

namespace kelvora_host {
namespace {

std::atomic<int> presses{0};
std::atomic<int> terminations{0};
std::atomic<bool> personMode{false};
std::atomic<bool> atPrompt{false};

extern "C" void OnInterrupt(int signal) {
    if (signal == SIGTERM) {
        if (++terminations > 1) std::_Exit(kExitTerminated);
        return;
    }
    const int count = ++presses;
    if (atPrompt) return;  // the session prints a fresh prompt
    if (personMode) {
        if (count == 1) WriteErrFromHandler("\nkelvora-host: stopping; back to the prompt when the driver returns\n");
        return;
    }
    if (count == 1) {
        WriteErrFromHandler("\nkelvora-host: stopping before the next operation (Ctrl-C again ends at once)\n");
        return;
    }
    WriteErrFromHandler("\nkelvora-host: ended at once: the operation under way may be cut off\n");
    std::_Exit(kExitInterrupted);
}

}  // namespace

void InstallInterruption() { InstallInterruptHandler(OnInterrupt); }
bool Interrupted() { return presses.load() > 0 || terminations.load() > 0; }
bool Terminating() { return terminations.load() > 0; }
int InterruptedExitCode() { return Terminating() ? kExitTerminated : kExitInterrupted; }
void ClearInterruption() { presses = 0; }
void SetInterruptionMode(bool person) { personMode = person; }
void SetAtPrompt(bool waiting) { atPrompt = waiting; }

}  // namespace kelvora_host
