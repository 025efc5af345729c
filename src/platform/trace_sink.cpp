// TraceSink (see the header).
#include "platform/trace_sink.h"

#include <map>

#include "platform/trace_system.h"

namespace kelvora {

std::shared_ptr<TraceSink> TraceSink::Open(const std::string& destination, uint64_t fileBound) {
    if (destination.empty()) return nullptr;
    if (destination == "stderr") {
        return std::shared_ptr<TraceSink>(new TraceSink(Kind::kStderr, std::string(), nullptr, 0, 0));
    }
    if (destination == "debug") {
        if (!HasDebugOutput()) return nullptr;
        return std::shared_ptr<TraceSink>(new TraceSink(Kind::kDebug, std::string(), nullptr, 0, 0));
    }
    std::FILE* file = std::fopen(destination.c_str(), "ab");
    if (file == nullptr) return nullptr;
    std::fseek(file, 0, SEEK_END);
    const long size = std::ftell(file);
    return std::shared_ptr<TraceSink>(
        new TraceSink(Kind::kFile, destination, file, size > 0 ? static_cast<uint64_t>(size) : 0, fileBound));
}

TraceSink::TraceSink(Kind kind, std::string path, std::FILE* file, uint64_t size, uint64_t bound)
    : kind_(kind), path_(std::move(path)), file_(file), size_(size), bound_(bound) {}

TraceSink::~TraceSink() {
    if (file_ != nullptr) std::fclose(file_);
}

void TraceSink::Write(const std::string& line) {
    std::lock_guard<std::mutex> hold(lock_);
    switch (kind_) {
        case Kind::kStderr:
            std::fprintf(stderr, "%s\n", line.c_str());
            std::fflush(stderr);
            return;
        case Kind::kDebug:
            WriteDebugOutput(line + "\n");
            return;
        case Kind::kFile:
            break;
    }
    if (size_ != 0 && size_ + line.size() + 1 > bound_) RollOver();
    if (file_ == nullptr) return;  // the file could not be opened again: the trace goes quiet
    std::fwrite(line.data(), 1, line.size(), file_);
    std::fputc('\n', file_);
    std::fflush(file_);
    size_ += line.size() + 1;
}

void TraceSink::RollOver() {
    std::fclose(file_);
    const std::string older = path_ + ".1";
    std::remove(older.c_str());  // rename does not replace a file on every platform
    std::rename(path_.c_str(), older.c_str());
    file_ = std::fopen(path_.c_str(), "ab");
    size_ = 0;
}

std::shared_ptr<TraceSink> SystemTraceSink() {
    const std::string destination = TraceDestinationFromSystem();
    if (destination.empty()) return nullptr;
    static std::mutex lock;
    static std::map<std::string, std::weak_ptr<TraceSink>> sinks;
    std::lock_guard<std::mutex> hold(lock);
    std::shared_ptr<TraceSink> sink = sinks[destination].lock();
    if (!sink) {
        sink = TraceSink::Open(destination);
        sinks[destination] = sink;
    }
    return sink;
}

}  // namespace kelvora
