// PrivateTrace's platform part on POSIX: process identities from kill(2).
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <climits>

#include "private_trace.h"

namespace kelvora_host {

uint64_t OwnProcessId() { return static_cast<uint64_t>(getpid()); }

bool ProcessRunning(uint64_t processId) {
    if (processId == 0 || processId > static_cast<uint64_t>(INT_MAX)) return false;
    // EPERM: it runs, as another user.
    return kill(static_cast<pid_t>(processId), 0) == 0 || errno == EPERM;
}

void RemoveFileAtOnce(const char* path) { unlink(path); }

}  // namespace kelvora_host
