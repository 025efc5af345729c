// PollSummaries (see the header).
#include "poll_summary.h"

#include <filesystem>
#include <fstream>
#include <system_error>

namespace kelvora_host {

std::string PollSummaries::Follow(const std::string& userTrace) {
    if (userTrace == "stderr" || userTrace == "debug") return userTrace;
    if (!userTrace.empty()) {
        path_ = userTrace;
        std::error_code error;
        offset_ = std::filesystem::exists(path_, error) ? std::filesystem::file_size(path_, error) : 0;
        if (error) offset_ = 0;
        return userTrace;
    }
    path_ = private_.Begin();
    return path_;
}

std::vector<std::string> PollSummaries::Take() {
    std::vector<std::string> lines;
    if (path_.empty()) return lines;
    std::ifstream file(path_, std::ios::binary);
    if (!file) return lines;
    file.seekg(0, std::ios::end);
    const uint64_t size = static_cast<uint64_t>(file.tellg());
    if (size < offset_) {  // the driver began a new file at its size bound
        offset_ = 0;
        partial_.clear();
    }
    file.seekg(static_cast<std::streamoff>(offset_));
    std::string data(static_cast<size_t>(size - offset_), '\0');
    file.read(&data[0], static_cast<std::streamsize>(data.size()));
    offset_ += static_cast<uint64_t>(file.gcount());
    data.resize(static_cast<size_t>(file.gcount()));
    partial_ += data;
    size_t start = 0;
    for (size_t end; (end = partial_.find('\n', start)) != std::string::npos; start = end + 1) {
        lines.push_back(partial_.substr(start, end - start));
    }
    partial_.erase(0, start);
    return lines;
}

}  // namespace kelvora_host
