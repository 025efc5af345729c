// Reading a script whole.
#include "script.h"

#include "console_text.h"

namespace kelvora_host {

bool IsQuit(const std::vector<std::string>& tokens) {
    return tokens.size() == 1 && (tokens[0] == "quit" || tokens[0] == "exit");
}

bool LoadScript(std::istream& input, const std::string& name, std::vector<Operation>* operations) {
    bool good = true;
    std::string line;
    for (unsigned number = 1; std::getline(input, line); ++number) {
        const std::string origin = name + ":" + std::to_string(number);
        std::vector<std::string> tokens;
        std::vector<Operation> parsed;
        std::string error;
        if (SplitScriptLine(line, &tokens, &error) && IsQuit(tokens)) break;
        if (error.empty() && ParseOperations(tokens, &parsed, &error)) {
            for (Operation& operation : parsed) {
                operation.origin = origin;
                operations->push_back(operation);
            }
        } else {
            WriteErr("kelvora-host: " + origin + ": " + error + "\n");
            good = false;
        }
    }
    return good;
}

}  // namespace kelvora_host
