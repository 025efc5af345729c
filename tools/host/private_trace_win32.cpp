// PrivateTrace's platform part on Windows: process identities through
// OpenProcess; the folder made by CreateDirectoryA, which fails rather than
// take a folder that is there, under a name drawn from the system's random
// numbers. It takes the protection of the temporary folder, which is the
// user's own (inside the profile).
#include <windows.h>

#include <bcrypt.h>

#include <cstdio>

#include "private_trace.h"

namespace kelvora_host {

bool ProcessRunning(uint64_t processId) {
    if (processId == 0 || processId > 0xFFFFFFFFu) return false;
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(processId));
    if (process == nullptr) return GetLastError() != ERROR_INVALID_PARAMETER;  // denied: it runs
    // A process that ended is still found while something holds it open.
    const bool running = WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
    CloseHandle(process);
    return running;
}

bool MakePrivateFolder(const std::string& prefix, std::string* folder) {
    for (int attempt = 0; attempt < 16; ++attempt) {
        unsigned char random[6];
        if (BCryptGenRandom(nullptr, random, sizeof random, BCRYPT_USE_SYSTEM_PREFERRED_RNG) != 0) return false;
        char part[16];
        std::snprintf(part, sizeof part, "%02x%02x%02x%02x%02x%02x", random[0], random[1], random[2], random[3],
                      random[4], random[5]);
        const std::string name = prefix + part;
        if (CreateDirectoryA(name.c_str(), nullptr)) {
            *folder = name;
            return true;
        }
        if (GetLastError() != ERROR_ALREADY_EXISTS) return false;
    }
    return false;
}

void RemoveFileAtOnce(const char* path) { DeleteFileA(path); }

void RemoveFolderAtOnce(const char* path) { RemoveDirectoryA(path); }

}  // namespace kelvora_host
