// TraceFollower's platform part on Windows: a file is its volume and file
// index, asked without taking the file from others (a rename may follow).
#include <windows.h>

#include "platform/trace_follower.h"

namespace kelvora {

bool TraceFileIdOf(const std::string& path, TraceFileId* id) {
    HANDLE file = CreateFileA(path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    BY_HANDLE_FILE_INFORMATION facts{};
    const bool known = GetFileInformationByHandle(file, &facts) != 0;
    CloseHandle(file);
    if (!known) return false;
    *id = TraceFileId{facts.dwVolumeSerialNumber,
                      (static_cast<uint64_t>(facts.nFileIndexHigh) << 32) | facts.nFileIndexLow};
    return true;
}

}  // namespace kelvora
