// The Ctrl-C state, shared between the handler and the session.
#include "interruption.h"

#include <atomic>
#include <csignal>
#include <cstdlib>

#include "console_text.h"
#include "port_options.h"
#include "private_trace.h"

namespace kelvora_host {
namespace {

std::atomic<int> presses{0};
std::atomic<int> terminations{0};
std::atomic<int> terminationSignal{SIGTERM};
std::atomic<bool> personMode{false};
std::atomic<bool> atPrompt{false};
std::atomic<uint32_t> portHandle{0};
std::atomic<bool> sendUnderWay{false};

// The program ends in the middle of a send: a modem that got "AT+CMGS" and
// no text would take the next command for the message.
void CancelSend() {
    if (!sendUnderWay || portHandle == 0) return;
    CancelMessageInput(portHandle);
    WriteErrFromHandler("kelvora-host: the message under way is cancelled (ESC to the modem)\n");
}

void EndAtOnce(int code) {
    RemovePrivateTraceAtOnce();
    std::_Exit(code);
}

extern "C" void OnInterrupt(int signal) {
    if (signal != SIGINT) {
        terminationSignal = signal;
        if (++terminations > 1) {
            CancelSend();
            EndAtOnce(128 + signal);
        }
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
    CancelSend();
    EndAtOnce(kExitInterrupted);
}

// The system ends the program as soon as the handler returns (Windows: the
// console window closed, the user logging off).
extern "C" void OnEndingNow() { RemovePrivateTraceAtOnce(); }

}  // namespace

void InstallInterruption() { InstallInterruptHandler(OnInterrupt, OnEndingNow); }
bool Interrupted() { return presses.load() > 0 || terminations.load() > 0; }
bool Terminating() { return terminations.load() > 0; }
int InterruptedExitCode() { return Terminating() ? 128 + terminationSignal.load() : kExitInterrupted; }
void ClearInterruption() { presses = 0; }
void SetInterruptionMode(bool person) { personMode = person; }
void SetAtPrompt(bool waiting) { atPrompt = waiting; }
void SetPortForCancel(uint32_t handle) { portHandle = handle; }
void SetSendUnderWay(bool underWay) { sendUnderWay = underWay; }

}  // namespace kelvora_host
