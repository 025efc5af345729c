// TraceSink (see the header).
#include "platform/trace_sink.h"

#include <cstdio>
#include <map>

#include "platform/system_setting.h"
#include "platform/trace_system.h"

namespace kelvora {

std::string OlderTraceFileName(const std::string& path) { return path + ".1"; }

std::shared_ptr<TraceSink> TraceSink::Open(const std::string& destination, uint64_t fileBound) {
    if (destination.empty()) return nullptr;
    if (destination == "stderr") return std::shared_ptr<TraceSink>(new TraceSink(Kind::kStderr, std::string(), 0));
    if (destination == "debug") {
        if (!HasDebugOutput()) return nullptr;
        return std::shared_ptr<TraceSink>(new TraceSink(Kind::kDebug, std::string(), 0));
    }
    std::shared_ptr<TraceSink> sink(new TraceSink(Kind::kFile, destination, fileBound));
    std::string why;
    if (!sink->file_.Open(destination, &why)) return nullptr;
    sink->size_ = sink->file_.Size();
    return sink;
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
    if (!file_.IsOpen()) return;  // gone quiet: the file could not be opened again, or the trace stopped
    if (size_ != 0 && size_ + line.size() + 1 > bound_) RollOver();
    Append(line);
}

void TraceSink::Append(const std::string& line) {
    if (file_.Append(line + "\n")) size_ += line.size() + 1;
}

void TraceSink::RollOver() {
    file_.Close();
    const std::string older = OlderTraceFileName(path_);
    std::string why;
    if (RenameTraceFile(path_, older, &why)) {
        std::string ignored;
        file_.Open(path_, &ignored);  // fails when the name became a link, or the folder went: quiet
        size_ = file_.Size();         // another process of the host may have begun it already
        return;
    }
    // Growing on would fill the disk: begin again in place, losing the lines
    // before, or stop.
    std::string ignored;
    if (!file_.Open(path_, &ignored)) return;
    const std::string note = LocalTimestamp() + " trace  could not rename this file to " + older + " at its size bound (" + why + ")";
    std::string whyNotEmptied;
    if (file_.Truncate(&whyNotEmptied)) {
        size_ = 0;
        Append(note + ": begun again here, the lines before are lost");
        return;
    }
    Append(note + " nor empty it (" + whyNotEmptied + "): the trace stops here");
    file_.Close();
}

namespace {

// One sink for each destination, shared while a station holds it.
std::shared_ptr<TraceSink> SharedSink(const std::string& destination) {
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

}  // namespace

std::shared_ptr<TraceSink> SystemTraceSink() { return SharedSink(TraceDestinationFromSystem()); }

std::shared_ptr<TraceSink> HostTraceSink() { return SharedSink(SystemSetting("KELVORA_HOST_TRACE", nullptr)); }

}  // namespace kelvora
