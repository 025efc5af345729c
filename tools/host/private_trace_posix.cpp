// PrivateTrace's platform part on POSIX: process identities from kill(2),
// the folder from mkdtemp(3) (mode 0700, a name nobody could take first).
#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <vector>

#include "private_trace.h"

namespace kelvora_host {

bool ProcessRunning(uint64_t processId) {
    if (processId == 0 || processId > static_cast<uint64_t>(INT_MAX)) return false;
    // EPERM: it runs, as another user.
    return kill(static_cast<pid_t>(processId), 0) == 0 || errno == EPERM;
}

bool MakePrivateFolder(const std::string& prefix, std::string* folder) {
    const std::string pattern = prefix + "XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    if (mkdtemp(name.data()) == nullptr) return false;
    *folder = name.data();
    return true;
}

void RemoveFileAtOnce(const char* path) { unlink(path); }

void RemoveFolderAtOnce(const char* path) { rmdir(path); }

}  // namespace kelvora_host
