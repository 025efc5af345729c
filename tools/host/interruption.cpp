// The Ctrl-C state, shared between the handler and the session.
#include "interruption.h"

#include <atomic>
#include <cstdlib>

#include "console_text.h"

namespace kelvora_host {
namespace {

std::atomic<int> presses{0};
std::atomic<bool> interactiveMode{false};
std::atomic<bool> atPrompt{false};

extern "C" void OnInterrupt(int) {
    const int count = ++presses;
    if (atPrompt) return;  // the session prints a fresh prompt
    if (interactiveMode) {
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
bool Interrupted() { return presses.load() > 0; }
void ClearInterruption() { presses = 0; }
void SetInterruptionMode(bool interactive) { interactiveMode = interactive; }
void SetAtPrompt(bool waiting) { atPrompt = waiting; }

}  // namespace kelvora_host
