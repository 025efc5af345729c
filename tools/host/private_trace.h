// PrivateTrace: the console's own trace file, when the user named none: the
// driver writes its dialogue there and the console reads from it what the
// driver did.
// It holds the telephone numbers and texts any trace holds, so it is private
// to the user as every trace file is, lives in the temporary folder under a
// name of this process ("kelvora-host-<pid>.trace"), and is removed at every
// end of the program that can be caught: a normal end or an error, Ctrl-C,
// a second Ctrl-C, SIGTERM, SIGHUP, the console window closed. One that an
// earlier run left behind (killed, or the machine lost power) is removed at
// the next start.
#pragma once

#include <cstdint>
#include <string>

namespace kelvora_host {

class PrivateTrace {
public:
    PrivateTrace() = default;
    PrivateTrace(const PrivateTrace&) = delete;
    PrivateTrace& operator=(const PrivateTrace&) = delete;
    ~PrivateTrace();

    // Removes what ended runs left and names this run's file, which the
    // driver creates. Empty when there is no temporary folder.
    std::string Begin();

private:
    std::string path_;
};

// Removes this run's private trace now: the program is about to end without
// unwinding. What a signal handler may call.
void RemovePrivateTraceAtOnce();

// Platform parts.
uint64_t OwnProcessId();
bool ProcessRunning(uint64_t processId);
// unlink(2) / DeleteFileA: what a signal handler may call.
void RemoveFileAtOnce(const char* path);

}  // namespace kelvora_host
