// TraceFile on Windows: CreateFileA with no security attributes (the
// folder's protection, a handle no child process inherits), shared for
// reading, writing and deleting; a reparse point (a symbolic link or a
// junction) or a device name is refused. Opened to append only (no
// FILE_WRITE_DATA), so that every write lands at the end as the file stands
// then, and each write holds a lock that other writers of the trace wait for.
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

// Reading is asked for too: LockFileEx needs it (or the right to write
// anywhere, which would end the append-only handle).
constexpr DWORD kTraceAccess = FILE_READ_DATA | FILE_APPEND_DATA | FILE_READ_ATTRIBUTES | SYNCHRONIZE;
// Windows' own file systems make an append-only write whole at the end, but
// where appending is emulated (Wine reads the size, then writes there), two
// processes can still write one place. So writers of one trace take turns:
// an exclusive lock on one byte far past any end a trace reaches, where it
// stands in the way of no read nor write (locks on Windows are mandatory).
constexpr DWORD kTurnOffsetHigh = 0x40000000;  // 2^62
// A turn is one line's write. Should another writer hold it this long (a
// process stopped in a debugger), the write goes ahead without it.
constexpr ULONGLONG kTurnWaitMs = 1000;

class WritersTurn {
public:
    explicit WritersTurn(HANDLE file) : file_(file) {
        const ULONGLONG start = GetTickCount64();
        for (unsigned attempt = 0;; ++attempt) {
            OVERLAPPED at{};
            at.OffsetHigh = kTurnOffsetHigh;
            held_ = LockFileEx(file_, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at) != FALSE;
            // Only another's turn is waited for; a file system without locks
            // has the writes go ahead at once.
            if (held_ || GetLastError() != ERROR_LOCK_VIOLATION || GetTickCount64() - start >= kTurnWaitMs) return;
            Sleep(attempt < 16 ? 0 : 1);
        }
    }
    ~WritersTurn() {
        if (!held_) return;
        OVERLAPPED at{};
        at.OffsetHigh = kTurnOffsetHigh;
        UnlockFileEx(file_, 0, 1, 0, &at);
    }
    WritersTurn(const WritersTurn&) = delete;
    WritersTurn& operator=(const WritersTurn&) = delete;

private:
    HANDLE file_;
    bool held_ = false;
};

}  // namespace

bool TraceFile::Open(const std::string& path, std::string* why) {
    Close();
    HANDLE file = CreateFileA(path.c_str(), kTraceAccess, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
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
    // Others may write to the file too (a second process of the same host).
    WritersTurn turn(Handle(handle_));
    DWORD written = 0;
    return WriteFile(Handle(handle_), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}

bool TraceFile::Truncate(std::string* why) {
    if (!IsOpen()) {
        *why = "it is not open";
        return false;
    }
    // Setting the end needs the right to write anywhere, which the trace's
    // own handle has not: a second handle on the same file has it, for this.
    WritersTurn turn(Handle(handle_));
    HANDLE writer = ReOpenFile(Handle(handle_), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, 0);
    if (writer == INVALID_HANDLE_VALUE) {
        *why = ErrorText(GetLastError());
        return false;
    }
    const bool emptied = SetEndOfFile(writer) != FALSE;  // a new handle stands at 0
    if (!emptied) *why = ErrorText(GetLastError());      // e.g. a viewer has it mapped
    CloseHandle(writer);
    return emptied;
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
