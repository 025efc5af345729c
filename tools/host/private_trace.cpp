// PrivateTrace (see the header).
#include "private_trace.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace kelvora_host {
namespace {

constexpr char kPrefix[] = "kelvora-host-";
constexpr char kSuffix[] = ".trace";

// The file and its older half, for the signal handler: plain storage,
// published by the flag.
constexpr size_t kMaxPath = 4096;
char abruptPaths[2][kMaxPath];
std::atomic<bool> abruptArmed{false};

// The process a private trace's name was made for: "kelvora-host-<id>.trace"
// or "...trace.1". false for any other name.
bool OwnerOfName(const std::string& name, uint64_t* processId) {
    const size_t prefix = sizeof kPrefix - 1;
    if (name.compare(0, prefix, kPrefix) != 0) return false;
    const size_t suffix = name.find(kSuffix, prefix);
    if (suffix == std::string::npos || suffix == prefix) return false;
    const std::string rest = name.substr(suffix + sizeof kSuffix - 1);
    if (!rest.empty() && rest != ".1") return false;
    const std::string digits = name.substr(prefix, suffix - prefix);
    if (digits.find_first_not_of("0123456789") != std::string::npos || digits.size() > 19) {
        return false;
    }
    *processId = std::strtoull(digits.c_str(), nullptr, 10);
    return true;
}

}  // namespace

std::string PrivateTrace::Begin() {
    std::error_code error;
    const std::filesystem::path folder = std::filesystem::temp_directory_path(error);
    if (error) return std::string();
    const uint64_t self = OwnProcessId();
    for (std::filesystem::directory_iterator entry(folder, error), end; !error && entry != end; entry.increment(error)) {
        uint64_t owner = 0;
        if (!OwnerOfName(entry->path().filename().string(), &owner)) continue;
        // A name of this process is an earlier run's too: this one has made none yet.
        if (owner == self || !ProcessRunning(owner)) {
            std::error_code ignored;
            std::filesystem::remove(entry->path(), ignored);
        }
    }
    path_ = (folder / (kPrefix + std::to_string(self) + kSuffix)).string();
    const std::string older = path_ + ".1";
    if (older.size() < kMaxPath) {
        std::memcpy(abruptPaths[0], path_.c_str(), path_.size() + 1);
        std::memcpy(abruptPaths[1], older.c_str(), older.size() + 1);
        abruptArmed = true;
    }
    return path_;
}

PrivateTrace::~PrivateTrace() {
    if (path_.empty()) return;
    abruptArmed = false;
    std::remove(path_.c_str());
    std::remove((path_ + ".1").c_str());
}

void RemovePrivateTraceAtOnce() {
    if (!abruptArmed) return;
    RemoveFileAtOnce(abruptPaths[0]);
    RemoveFileAtOnce(abruptPaths[1]);
}

}  // namespace kelvora_host
