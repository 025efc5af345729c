// TraceSink: where the dialogue trace goes, one line at a time: a file
// (private to its owner, see TraceFile; appended to line by line, and at its
// size bound renamed to "<name>.1", replacing an older one, so that a trace
// never takes more than about twice the bound), the standard error stream,
// or the debug-output channel. When the rename fails (on Windows while
// another program has the file open) the file is emptied and begins again
// in place, with a first line that says why; if it cannot be emptied either,
// a last line says so and the trace stops. Stations in one process that name
// the same destination share one sink; a lock keeps their lines whole.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "platform/trace_file.h"

namespace kelvora {

constexpr uint64_t kTraceFileBound = 10u * 1024 * 1024;

// "<path>.1": where a trace file goes at its size bound.
std::string OlderTraceFileName(const std::string& path);

class TraceSink {
public:
    // Opens a destination: "stderr", "debug" (where the platform has one), or
    // a file path. nullptr when it cannot be opened.
    static std::shared_ptr<TraceSink> Open(const std::string& destination, uint64_t fileBound = kTraceFileBound);
    TraceSink(const TraceSink&) = delete;
    TraceSink& operator=(const TraceSink&) = delete;

    // Writes the line and a line end, whole, and flushes it.
    void Write(const std::string& line);

private:
    enum class Kind : uint8_t { kFile, kStderr, kDebug };
    TraceSink(Kind kind, std::string path, uint64_t bound) : kind_(kind), path_(std::move(path)), bound_(bound) {}
    void RollOver();
    void Append(const std::string& line);

    std::mutex lock_;
    Kind kind_;
    std::string path_;
    TraceFile file_;
    uint64_t size_ = 0;  // what this sink knows the file to hold
    uint64_t bound_;
};

// The sink of the destination the system names (KELVORA_TRACE, or the
// registry on Windows), shared by every station of the process that asks;
// nullptr when none is named or it cannot be opened. Read anew at each call,
// that is, when a station is created.
std::shared_ptr<TraceSink> SystemTraceSink();

// The sink of a second destination that the program loading the driver
// names for its own stations (KELVORA_HOST_TRACE, the environment only): a
// host that reads back what its stations traced (kelvora-host) keeps a trace
// of its own there, beside whatever KELVORA_TRACE or the registry names.
std::shared_ptr<TraceSink> HostTraceSink();

}  // namespace kelvora
