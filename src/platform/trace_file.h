// TraceFile: the file a dialogue trace goes to, kept private. It holds
// telephone numbers and message texts, so on POSIX it is created readable by
// its owner only (0600, to which a file that was there before is set), never
// opened through a symbolic link nor when it is another user's or not a plain
// file, and not left open in programs the host starts; on Windows it takes
// the protection of its folder, its handle is not inherited, and other
// programs may read, rename and delete it while it is open (a log viewer, a
// second process of the same host). Each write lands whole at its end, also
// while other processes write to it.
#pragma once

#include <cstdint>
#include <string>

namespace kelvora {

class TraceFile {
public:
    TraceFile() = default;
    ~TraceFile() { Close(); }
    TraceFile(const TraceFile&) = delete;
    TraceFile& operator=(const TraceFile&) = delete;

    // Opens the file for appending, creating it if need be. false, with the
    // reason, when it cannot or may not be opened.
    bool Open(const std::string& path, std::string* why);
    bool IsOpen() const { return handle_ != kClosed; }
    // Its size now, 0 when unknown.
    uint64_t Size() const;
    // Writes the bytes at its end.
    bool Append(const std::string& bytes);
    // Empties it where it stands; others' handles stay on it.
    bool Truncate(std::string* why);
    void Close();

private:
    static constexpr intptr_t kClosed = -1;
    intptr_t handle_ = kClosed;  // a file descriptor, or a HANDLE
};

// Renames a trace file, replacing what bears the new name. A symbolic link
// at either name is renamed or replaced itself, never followed. false, with
// the reason, when it fails.
bool RenameTraceFile(const std::string& from, const std::string& to, std::string* why);

}  // namespace kelvora
