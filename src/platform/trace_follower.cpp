// TraceFollower (see the header).
#include "platform/trace_follower.h"

#include <fstream>

#include "platform/trace_sink.h"

namespace kelvora {

void TraceFollower::Follow(const std::string& path) {
    path_ = path;
    partial_.clear();
    known_ = TraceFileIdOf(path_, &id_);
    offset_ = 0;
    std::ifstream file(path_, std::ios::binary | std::ios::ate);
    if (known_ && file) offset_ = static_cast<uint64_t>(file.tellg());
}

void TraceFollower::ReadRest(const std::string& path, std::vector<std::string>* lines) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return;
    file.seekg(0, std::ios::end);
    const uint64_t size = static_cast<uint64_t>(file.tellg());
    if (size <= offset_) return;
    file.seekg(static_cast<std::streamoff>(offset_));
    std::string data(static_cast<size_t>(size - offset_), '\0');
    file.read(&data[0], static_cast<std::streamsize>(data.size()));
    data.resize(static_cast<size_t>(file.gcount()));
    offset_ += data.size();
    partial_ += data;
    size_t start = 0;
    for (size_t end; (end = partial_.find('\n', start)) != std::string::npos; start = end + 1) {
        lines->push_back(partial_.substr(start, end - start));
    }
    partial_.erase(0, start);
}

std::vector<std::string> TraceFollower::Take() {
    std::vector<std::string> lines;
    if (path_.empty()) return lines;
    TraceFileId now;
    const bool there = TraceFileIdOf(path_, &now);
    if (known_ && !(there && now == id_)) {
        // Renamed at the size bound: the rest of the file followed is the older one now.
        TraceFileId older;
        if (TraceFileIdOf(OlderTraceFileName(path_), &older) && older == id_) {
            ReadRest(OlderTraceFileName(path_), &lines);
        }
        offset_ = 0;
        partial_.clear();
    }
    known_ = there;
    id_ = now;
    if (!there) return lines;
    std::ifstream file(path_, std::ios::binary | std::ios::ate);
    if (file && static_cast<uint64_t>(file.tellg()) < offset_) {  // begun again in place
        offset_ = 0;
        partial_.clear();
    }
    ReadRest(path_, &lines);
    return lines;
}

}  // namespace kelvora
