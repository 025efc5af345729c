// PrivateTrace: the console's own trace file, when the user named none: the
// driver writes its dialogue there and the console reads from it what the
// driver did.
// It holds the telephone numbers and texts any trace holds, so it lives in
// a folder of its own that only its owner can open, created afresh under a
// name no other program can foresee ("kelvora-host-<pid>-XXXXXX" in the
// temporary folder, made by mkdtemp on POSIX, mode 0700), and is removed at
// every end of the program that can be caught: a normal end or an error,
// Ctrl-C, a second Ctrl-C, SIGTERM, SIGHUP, the console window closed. What
// an earlier run left behind (killed, or the machine lost power) is removed
// at the next start.
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

    // Removes what ended runs left, makes this run's folder and names the
    // file in it, which the driver creates. Empty when the folder cannot be
    // made.
    std::string Begin();

private:
    std::string folder_;
    std::string path_;
};

// Removes this run's private trace now: the program is about to end without
// unwinding. What a signal handler may call.
void RemovePrivateTraceAtOnce();

// Platform parts.
bool ProcessRunning(uint64_t processId);
// A new folder only this user can open, its name prefix and a part no other
// program can foresee; false when it cannot be made.
bool MakePrivateFolder(const std::string& prefix, std::string* folder);
// unlink(2) / DeleteFileA, rmdir(2) / RemoveDirectoryA: what a signal
// handler may call.
void RemoveFileAtOnce(const char* path);
void RemoveFolderAtOnce(const char* path);

}  // namespace kelvora_host
