// PollSummaries (see the header).
#include "poll_summary.h"

#include "platform/trace_system.h"

namespace kelvora_host {

std::string PollSummaries::Follow(const std::string& userTrace) {
    if (userTrace == "stderr" || userTrace == "debug") return userTrace;
    const std::string path = userTrace.empty() ? private_.Begin() : userTrace;
    if (!path.empty()) follower_.Follow(path);
    return path;
}

bool PollSummaries::FileThere() const {
    kelvora::TraceFileId ignored;
    return kelvora::TraceFileIdOf(follower_.path(), &ignored);
}

void PollSummaries::SetWriter(const std::string& role, int32_t device, int port) {
    writer_ = kelvora::TraceWriter{role, device, port, kelvora::CurrentProcessId()};
}

std::vector<std::string> PollSummaries::Take(std::vector<std::string>* everyLine) {
    std::vector<std::string> lines = follower_.Take();
    std::vector<std::string> own;
    for (const std::string& line : lines) {
        kelvora::TraceWriter writer;
        std::string event;
        if (!kelvora::ReadTraceLine(line, &writer, &event) || writer.process != writer_.process ||
            writer.role != writer_.role || (writer.device != -1 && writer.device != writer_.device) ||
            (writer.port != 0 && writer.port != writer_.port)) {
            continue;
        }
        own.push_back(line);
    }
    if (everyLine != nullptr) *everyLine = std::move(lines);
    return own;
}

}  // namespace kelvora_host
