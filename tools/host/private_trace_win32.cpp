// PrivateTrace's platform part on Windows: process identities through
// OpenProcess.
#include <windows.h>

#include "private_trace.h"

namespace kelvora_host {

uint64_t OwnProcessId() { return GetCurrentProcessId(); }

bool ProcessRunning(uint64_t processId) {
    if (processId == 0 || processId > 0xFFFFFFFFu) return false;
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(processId));
    if (process == nullptr) return GetLastError() != ERROR_INVALID_PARAMETER;  // denied: it runs
    // A process that ended is still found while something holds it open.
    const bool running = WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
    CloseHandle(process);
    return running;
}

void RemoveFileAtOnce(const char* path) { DeleteFileA(path); }

}  // namespace kelvora_host
