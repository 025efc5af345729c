// Parsing the session language.
#include "operations.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

#include "register_value_text.h"

namespace kelvora_host {
namespace {

std::string OperationNames() {
    std::string names;
    size_t count = 0;
    const OperationRow* rows = OperationTable(&count);
    for (size_t i = 0; i < count; ++i) names += (i == 0 ? "" : ", ") + std::string(rows[i].name);
    return names;
}

bool Keyword(const std::string& token, OperationKind* kind) {
    const OperationRow* row = FindOperation(token);
    if (row != nullptr) *kind = row->kind;
    return row != nullptr;
}

bool IsNumericTypeName(const std::string& name) {
    return name == "bit" || name == "int" || name == "word" || name == "float";
}

// "ADDR", "ADDR:TYPE"; for write and await also "=VALUE", "=VALUE:TYPE".
bool ParseTarget(const std::string& token, bool wantsValue, Target* target, std::string* error) {
    *target = Target();
    std::string left = token;
    const size_t equals = token.find('=');
    if (equals != std::string::npos) {
        if (!wantsValue) {
            *error = "'" + token + "': a value is given only to write and await";
            return false;
        }
        left = token.substr(0, equals);
        target->value = token.substr(equals + 1);
        target->hasValue = true;
    } else if (wantsValue) {
        *error = "'" + token + "': expected ADDRESS=VALUE, for example M5.120=42";
        return false;
    }
    const size_t colon = left.find(':');
    if (colon != std::string::npos) {
        target->typeName = left.substr(colon + 1);
        left = left.substr(0, colon);
        int16_t code = 0;
        if (!DataTypeFromName(target->typeName, &code)) {
            *error = "'" + token + "': unknown data type '" + target->typeName +
                     "' (bit, int, word, float or text)";
            return false;
        }
    } else if (target->hasValue) {
        // A trailing ":TYPE" on the value names the type only where a type
        // can stand: after a number of that type. A text keeps its colons
        // ("SEND_MSG5=ratio 1:256" sends all of it).
        const size_t valueColon = target->value.rfind(':');
        const std::string suffix = valueColon == std::string::npos ? "" : target->value.substr(valueColon + 1);
        int16_t code = 0;
        kelvora::RegisterValue parsed;
        std::string ignored;
        if (IsNumericTypeName(suffix) && DataTypeFromName(suffix, &code) &&
            ParseRegisterValue(code, target->value.substr(0, valueColon), &parsed, &ignored)) {
            target->typeName = suffix;
            target->value.resize(valueColon);
        }
    }
    if (left.empty()) {
        *error = "'" + token + "': the register address is missing";
        return false;
    }
    target->address = left;
    return true;
}

bool ParseMilliseconds(const std::string& text, uint32_t* ms) {
    std::string digits = text;
    uint32_t scale = 1;
    if (digits.size() > 2 && digits.compare(digits.size() - 2, 2, "ms") == 0) {
        digits.resize(digits.size() - 2);
    } else if (digits.size() > 1 && digits.back() == 's') {
        digits.pop_back();
        scale = 1000;
    }
    if (digits.empty() || digits.size() > 7) return false;
    for (char c : digits) {
        if (!std::isdigit(static_cast<unsigned char>(c))) return false;
    }
    *ms = static_cast<uint32_t>(std::strtoul(digits.c_str(), nullptr, 10)) * scale;
    return *ms <= 86400000u;
}

std::string TargetText(const Target& target) {
    std::string text = target.address;
    if (!target.typeName.empty()) text += ":" + target.typeName;
    if (target.hasValue) text += "=" + target.value;
    return text;
}

}  // namespace

std::string Describe(const Operation& operation) {
    std::string text = OperationName(operation.kind);
    switch (operation.kind) {
        case OperationKind::kSleep:
            return text + " " + std::to_string(operation.milliseconds) + "ms";
        case OperationKind::kEcho:
            return text + " " + operation.text;
        default:
            for (const Target& target : operation.targets) text += " " + TargetText(target);
            return text;
    }
}

const char* OperationsHelp() {
    static const std::string help = [] {
        std::string text = "Operations (any number, run in order by one station; the station's registers\n"
                           "and numbers live only as long as this program runs):\n";
        size_t count = 0;
        const OperationRow* rows = OperationTable(&count);
        for (size_t i = 0; i < count; ++i) {
            std::string usage = rows[i].usage;
            usage.resize(std::max<size_t>(usage.size(), 28), ' ');
            text += "  " + usage + " " + rows[i].help + "\n";
        }
        return text + R"(TYPE is bit, int, word, float or text; without it, int where the register type
takes it, else its only type. A value's ":TYPE" counts only after a number
(M5.120=42:word; a text keeps its colons). Texts are UTF-8; quote them for the
shell. Every address and value is checked before anything runs: an address
must be read by the driver exactly as typed (M5.12O or M5.120.3 for an int are
refused), a number must be one the driver sends to, a text must fit one message.
At the prompt (--script - on a terminal): help, quit; Ctrl-C stops the running
operation, Ctrl-D ends the session. Elsewhere Ctrl-C stops before the next
operation (exit 130) and a second Ctrl-C ends at once.

Addresses: central station  M<site>.<address> (M5.120), M<site>.<address>.<bit>
  with :bit (value 0 or 1), SEND_MSG<site>, SMSC<site>, DETC<site>; sites 0-31,
  addresses 0-1000. Remote station  M<address> (M120), SEND_MSG, SMSC, DETC, COMFLAG.)";
    }();
    return help.c_str();
}

bool IsOperationName(const std::string& word) { return FindOperation(word) != nullptr; }

const char* OperationName(OperationKind kind) { return RowOf(kind).name; }

bool ParseOperations(const std::vector<std::string>& tokens, std::vector<Operation>* operations,
                     std::string* error) {
    size_t i = 0;
    while (i < tokens.size()) {
        Operation operation;
        if (!Keyword(tokens[i], &operation.kind)) {
            *error = "'" + tokens[i] + "' is not an operation (" + OperationNames() + ")";
            return false;
        }
        const std::string keyword = tokens[i++];
        std::vector<std::string> arguments;
        OperationKind ignored;
        while (i < tokens.size() && !Keyword(tokens[i], &ignored)) arguments.push_back(tokens[i++]);
        const Arguments takes = RowOf(operation.kind).arguments;
        switch (takes) {
            case Arguments::kNone:
                if (!arguments.empty()) {
                    *error = keyword + " takes no arguments";
                    return false;
                }
                break;
            case Arguments::kText:
                for (const std::string& word : arguments) {
                    if (!operation.text.empty()) operation.text += ' ';
                    operation.text += word;
                }
                break;
            case Arguments::kDuration:
                if (arguments.size() != 1 || !ParseMilliseconds(arguments[0], &operation.milliseconds)) {
                    *error = keyword + " takes one duration: milliseconds, or seconds with 's' (sleep 1500, sleep 3s)";
                    return false;
                }
                break;
            default: {
                const bool wantsValue = takes == Arguments::kEachValue || takes == Arguments::kOneValue;
                if (arguments.empty()) {
                    *error = keyword + " needs " + (wantsValue ? "ADDRESS=VALUE" : "an ADDRESS") +
                             (takes == Arguments::kEachValue ? ", for example M5.120=42" : "");
                    return false;
                }
                if (takes == Arguments::kOneValue && arguments.size() != 1) {
                    *error = keyword + " takes one ADDRESS=VALUE";
                    return false;
                }
                for (const std::string& argument : arguments) {
                    Target target;
                    if (!ParseTarget(argument, wantsValue, &target, error)) return false;
                    operation.targets.push_back(target);
                }
            }
        }
        if (takes == Arguments::kEachAddress || takes == Arguments::kEachValue) {
            for (const Target& target : operation.targets) {
                Operation single = operation;
                single.targets.assign(1, target);
                operations->push_back(single);
            }
        } else {
            operations->push_back(operation);
        }
    }
    return true;
}

bool SplitScriptLine(const std::string& line, std::vector<std::string>* tokens, std::string* error) {
    tokens->clear();
    std::string token;
    bool inToken = false;
    bool quoted = false;
    for (size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (quoted) {
            if (c == '\\' && i + 1 < line.size() && (line[i + 1] == '"' || line[i + 1] == '\\')) {
                token += line[++i];
            } else if (c == '"') {
                quoted = false;
            } else {
                token += c;
            }
        } else if (c == '"') {
            quoted = true;
            inToken = true;
        } else if (c == '#' && !inToken) {
            break;
        } else if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
            if (inToken) tokens->push_back(token);
            token.clear();
            inToken = false;
        } else {
            token += c;
            inToken = true;
        }
    }
    if (quoted) {
        *error = "a double quote is not closed";
        return false;
    }
    if (inToken) tokens->push_back(token);
    return true;
}

bool NeedsPort(const Operation& operation) { return RowOf(operation.kind).needsPort; }

}  // namespace kelvora_host
