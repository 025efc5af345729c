// SecretFile on POSIX: mode 0600, owned by this user (or root), opened
// without following symbolic links; replaced through a sibling file, fsync
// and rename(2), then the folder's fsync.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>
#include <system_error>

#include "platform/secret_file.h"

namespace kelvora {

namespace {

std::string ErrorText(int error) { return std::generic_category().message(error); }

std::string ModeText(mode_t mode) {
    char text[8];
    std::snprintf(text, sizeof text, "%04o", static_cast<unsigned>(mode & 07777));
    return text;
}

bool WriteAll(int fd, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

std::string Folder(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Writes bytes into a file made new (O_EXCL) at path, flushed to the disk.
bool WriteNew(const std::string& path, const std::string& bytes, std::string* why) {
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
        *why = errno == EEXIST ? "it exists already" : ErrorText(errno);
        return false;
    }
    // The umask may have taken bits away, never added any; 0600 exactly all the same.
    const bool written = fchmod(fd, 0600) == 0 && WriteAll(fd, bytes) && fsync(fd) == 0;
    if (!written) *why = ErrorText(errno);
    close(fd);
    if (!written) unlink(path.c_str());
    return written;
}

}  // namespace

bool ReadSecretFile(const std::string& path, std::string* contents, std::string* why, bool* missing) {
    contents->clear();
    const int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
    if (missing != nullptr) *missing = fd < 0 && errno == ENOENT;
    if (fd < 0) {
        *why = errno == ELOOP ? "it is a symbolic link" : ErrorText(errno);
        return false;
    }
    struct stat facts {};
    bool ok = fstat(fd, &facts) == 0;
    if (!ok) {
        *why = ErrorText(errno);
    } else if (!S_ISREG(facts.st_mode)) {
        *why = "it is not a plain file";
        ok = false;
    } else if (facts.st_uid != geteuid() && facts.st_uid != 0) {
        *why = "it belongs to another user";
        ok = false;
    } else if ((facts.st_mode & 077) != 0) {
        *why = "others than its owner may reach it (mode " + ModeText(facts.st_mode) + "; chmod 600 it)";
        ok = false;
    } else if (static_cast<size_t>(facts.st_size) > kMaxSecretFileBytes) {
        *why = "it is larger than a key or counters file can be";
        ok = false;
    }
    char buffer[4096];
    while (ok) {
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            *why = ErrorText(errno);
            ok = false;
        } else if (n == 0) {
            break;
        } else if (contents->size() + static_cast<size_t>(n) > kMaxSecretFileBytes) {
            *why = "it is larger than a key or counters file can be";
            ok = false;
        } else {
            contents->append(buffer, static_cast<size_t>(n));
        }
    }
    close(fd);
    if (!ok) contents->clear();
    return ok;
}

bool WriteSecretFile(const std::string& path, const std::string& contents, bool replace, std::string* why) {
    if (!replace) return WriteNew(path, contents, why);
    const std::string sibling = path + ".new";
    unlink(sibling.c_str());  // left by a crash between writing and renaming
    if (!WriteNew(sibling, contents, why)) return false;
    if (std::rename(sibling.c_str(), path.c_str()) != 0) {
        *why = ErrorText(errno);
        unlink(sibling.c_str());
        return false;
    }
    // The rename itself on the disk: a crash must not bring the old one back.
    const int folder = open(Folder(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        fsync(folder);
        close(folder);
    }
    return true;
}

}  // namespace kelvora
