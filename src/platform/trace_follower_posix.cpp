// TraceFollower's platform part on POSIX: a file is its device and inode.
#include <sys/stat.h>

#include "platform/trace_follower.h"

namespace kelvora {

bool TraceFileIdOf(const std::string& path, TraceFileId* id) {
    struct stat facts {};
    if (stat(path.c_str(), &facts) != 0) return false;
    *id = TraceFileId{static_cast<uint64_t>(facts.st_dev), static_cast<uint64_t>(facts.st_ino)};
    return true;
}

}  // namespace kelvora
