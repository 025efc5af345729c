// TraceFile on POSIX: open(2) with O_NOFOLLOW and O_CLOEXEC, mode 0600
// (set with fchmod(2) on a file that was there before).
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <system_error>

#include "platform/trace_file.h"

namespace kelvora {

namespace {

std::string ErrorText(int error) { return std::generic_category().message(error); }

}  // namespace

bool TraceFile::Open(const std::string& path, std::string* why) {
    Close();
    // O_NONBLOCK: a FIFO at the path must not hold the station; it is refused below.
    const int fd = open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK, 0600);
    if (fd < 0) {
        *why = errno == ELOOP ? "it is a symbolic link" : ErrorText(errno);
        return false;
    }
    struct stat facts {};
    if (fstat(fd, &facts) != 0 || !S_ISREG(facts.st_mode) || facts.st_uid != geteuid()) {
        *why = S_ISREG(facts.st_mode) ? "it belongs to another user" : "it is not a plain file";
        close(fd);
        return false;
    }
    // A file that was there before keeps its mode through open(2): an
    // earlier version, or another program, may have left it readable by all.
    if ((facts.st_mode & 07777) != 0600 && fchmod(fd, 0600) != 0) {
        *why = "it cannot be made readable by its owner only (" + ErrorText(errno) + ")";
        close(fd);
        return false;
    }
    fcntl(fd, F_SETFL, O_APPEND);
    handle_ = fd;
    return true;
}

uint64_t TraceFile::Size() const {
    struct stat facts {};
    if (!IsOpen() || fstat(static_cast<int>(handle_), &facts) != 0 || facts.st_size < 0) return 0;
    return static_cast<uint64_t>(facts.st_size);
}

bool TraceFile::Append(const std::string& bytes) {
    if (!IsOpen()) return false;
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(static_cast<int>(handle_), bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

bool TraceFile::Truncate(std::string* why) {
    if (!IsOpen()) {
        *why = "it is not open";
        return false;
    }
    if (ftruncate(static_cast<int>(handle_), 0) == 0) return true;
    *why = ErrorText(errno);
    return false;
}

void TraceFile::Close() {
    if (!IsOpen()) return;
    close(static_cast<int>(handle_));
    handle_ = kClosed;
}

bool RenameTraceFile(const std::string& from, const std::string& to, std::string* why) {
    if (std::rename(from.c_str(), to.c_str()) == 0) return true;
    *why = ErrorText(errno);
    return false;
}

}  // namespace kelvora
