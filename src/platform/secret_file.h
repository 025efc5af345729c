// SecretFile: a small file that only its owner may read, for the stations'
// keys and their frame counters. Reading refuses a file that others could
// read or write (POSIX: any group or other bit in its mode, another user's
// file, a symbolic link, not a plain file; Windows: a DACL that allows anyone
// but the file's owner, this process's user, SYSTEM and Administrators).
// Writing creates the file owner-only, flushed to the disk before it returns;
// a replacement is written beside it and renamed over it, so that a crash
// leaves the old contents or the new, never a mix.
#pragma once

#include <cstddef>
#include <string>

namespace kelvora {

// A key file or a counters file is small; anything larger is not one.
constexpr size_t kMaxSecretFileBytes = 64 * 1024;

// The whole file into contents. false, with the reason, when it is missing,
// cannot be read, is larger than kMaxSecretFileBytes, or others may reach it;
// missing (when given) tells whether there is no such file.
bool ReadSecretFile(const std::string& path, std::string* contents, std::string* why, bool* missing = nullptr);

// Writes contents as the whole file: a new file only (false when one is
// there) unless replace, then atomically over what is there.
bool WriteSecretFile(const std::string& path, const std::string& contents, bool replace, std::string* why);

}  // namespace kelvora
