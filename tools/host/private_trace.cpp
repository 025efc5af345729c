// PrivateTrace (see the header).
#include "private_trace.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "platform/trace_sink.h"
#include "platform/trace_system.h"

namespace kelvora_host {
namespace {

constexpr char kPrefix[] = "kelvora-host-";
constexpr char kFileName[] = "dialogue.trace";

// The file, its older half and the folder, for the signal handler: plain
// storage, published by the flag.
constexpr size_t kMaxPath = 4096;
char abruptPaths[3][kMaxPath];
std::atomic<bool> abruptArmed{false};

// The process a private trace folder was made for: "kelvora-host-<id>-...".
// false for any other name.
bool OwnerOfName(const std::string& name, uint64_t* processId) {
    const size_t prefix = sizeof kPrefix - 1;
    if (name.compare(0, prefix, kPrefix) != 0) return false;
    const size_t dash = name.find('-', prefix);
    if (dash == std::string::npos || dash == prefix || dash - prefix > 19) return false;
    const std::string digits = name.substr(prefix, dash - prefix);
    if (digits.find_first_not_of("0123456789") != std::string::npos) return false;
    *processId = std::strtoull(digits.c_str(), nullptr, 10);
    return true;
}

void Keep(char* slot, const std::string& path) { std::memcpy(slot, path.c_str(), path.size() + 1); }

}  // namespace

std::string PrivateTrace::Begin() {
    std::error_code error;
    const std::filesystem::path temporary = std::filesystem::temp_directory_path(error);
    if (error) return std::string();
    const uint64_t self = kelvora::CurrentProcessId();
    for (std::filesystem::directory_iterator entry(temporary, error), end; !error && entry != end;
         entry.increment(error)) {
        uint64_t owner = 0;
        std::error_code ignored;
        // A folder, never what a link points to; one of this process is an earlier run's too.
        if (!OwnerOfName(entry->path().filename().string(), &owner) || !entry->is_directory(ignored) ||
            entry->is_symlink(ignored) || (owner != self && ProcessRunning(owner))) {
            continue;
        }
        std::filesystem::remove_all(entry->path(), ignored);
    }
    std::string folder;
    if (!MakePrivateFolder((temporary / (kPrefix + std::to_string(self) + "-")).string(), &folder)) {
        return std::string();
    }
    folder_ = folder;
    path_ = (std::filesystem::path(folder) / kFileName).string();
    const std::string older = kelvora::OlderTraceFileName(path_);
    if (older.size() < kMaxPath) {
        Keep(abruptPaths[0], path_);
        Keep(abruptPaths[1], older);
        Keep(abruptPaths[2], folder_);
        abruptArmed = true;
    }
    return path_;
}

PrivateTrace::~PrivateTrace() {
    if (folder_.empty()) return;
    abruptArmed = false;
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
}

void RemovePrivateTraceAtOnce() {
    if (!abruptArmed) return;
    RemoveFileAtOnce(abruptPaths[0]);
    RemoveFileAtOnce(abruptPaths[1]);
    RemoveFolderAtOnce(abruptPaths[2]);
}

}  // namespace kelvora_host
