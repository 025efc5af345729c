// TraceFile on Windows: CreateFileA with no security attributes (the
// folder's protection, a handle no child process inherits), shared for
// reading, writing and deleting; a reparse point (a symbolic link or a
// junction) or a device name is refused.
#include <windows.h>

#include <cstdio>

#include "platform/trace_file.h"

namespace kelvora {

namespace {

// The number only: the system's own text is in the user's language and code
// page, and the trace is read by whoever supports the site.
std::string ErrorText(DWORD error) {
    char text[48];
    std::snprintf(text, sizeof text, "Windows error %lu", static_cast<unsigned long>(error));
    return text;
}

HANDLE Handle(intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

}  // namespace

bool TraceFile::Open(const std::string& path, std::string* why) {
    Close();
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        *why = ErrorText(GetLastError());
        return false;
    }
    BY_HANDLE_FILE_INFORMATION facts{};
    if (GetFileType(file) != FILE_TYPE_DISK || !GetFileInformationByHandle(file, &facts) ||
        (facts.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        *why = "it is a symbolic link, a device or not a plain file";
        CloseHandle(file);
        return false;
    }
    handle_ = reinterpret_cast<intptr_t>(file);
    return true;
}

uint64_t TraceFile::Size() const {
    LARGE_INTEGER size{};
    if (!IsOpen() || !GetFileSizeEx(Handle(handle_), &size) || size.QuadPart < 0) return 0;
    return static_cast<uint64_t>(size.QuadPart);
}

bool TraceFile::Append(const std::string& bytes) {
    if (!IsOpen()) return false;
    // Others may write to the file too (a second process of the same host):
    // each line goes where the file ends now.
    LARGE_INTEGER zero{};
    if (!SetFilePointerEx(Handle(handle_), zero, nullptr, FILE_END)) return false;
    DWORD written = 0;
    return WriteFile(Handle(handle_), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}

bool TraceFile::Truncate(std::string* why) {
    if (!IsOpen()) {
        *why = "it is not open";
        return false;
    }
    LARGE_INTEGER zero{};
    if (SetFilePointerEx(Handle(handle_), zero, nullptr, FILE_BEGIN) && SetEndOfFile(Handle(handle_))) return true;
    *why = ErrorText(GetLastError());  // e.g. a viewer has it mapped
    return false;
}

void TraceFile::Close() {
    if (!IsOpen()) return;
    CloseHandle(Handle(handle_));
    handle_ = kClosed;
}

bool RenameTraceFile(const std::string& from, const std::string& to, std::string* why) {
    if (MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING)) return true;
    *why = ErrorText(GetLastError());  // e.g. a sharing violation: another program has it open
    return false;
}

}  // namespace kelvora
