// Scripts: a file (or piped standard input) read whole before anything runs,
// so that an error on line 3 stops lines 1 and 2 from sending their messages.
#pragma once

#include <istream>
#include <string>
#include <vector>

#include "operations.h"

namespace kelvora_host {

// Reads the script named name: one or more operations a line, '#' starts a
// comment, "quit" (or "exit") ends the script. Each operation's origin is
// "name:line". Every line in error is reported with its file and line;
// returns false when there was one, and the script must not run then.
bool LoadScript(std::istream& input, const std::string& name, std::vector<Operation>* operations);

// Whether a line's tokens end a script or a session.
bool IsQuit(const std::vector<std::string>& tokens);

}  // namespace kelvora_host
