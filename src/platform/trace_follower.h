// TraceFollower: reads a trace file as it grows, whole lines at a time, for
// a program that wants to know what its own stations traced (kelvora-host).
// It follows the file across the sink's size bound: the lines written to
// the file before it was renamed to "<name>.1" are read there, then the new
// file from its start; a file begun again in place (its rename failed) is
// read from its start. Only lines that stay in a file until the next Take
// are sure to be read: two renames between Takes lose what was between.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kelvora {

// What tells one file from another whatever its name: the device and file
// number (POSIX), the volume and file index (Windows).
struct TraceFileId {
    uint64_t volume = 0;
    uint64_t file = 0;
    bool operator==(const TraceFileId& other) const { return volume == other.volume && file == other.file; }
};

// false when there is no file at path. Platform part.
bool TraceFileIdOf(const std::string& path, TraceFileId* id);

class TraceFollower {
public:
    // Follows path from its present end (a file not there yet: from its start).
    void Follow(const std::string& path);
    const std::string& path() const { return path_; }

    // The whole lines written since the last call.
    std::vector<std::string> Take();

private:
    // Reads path from offset_ to its end into lines.
    void ReadRest(const std::string& path, std::vector<std::string>* lines);

    std::string path_;
    bool known_ = false;  // whether id_ names the file followed
    TraceFileId id_;
    uint64_t offset_ = 0;
    std::string partial_;  // a line not ended yet
};

}  // namespace kelvora
