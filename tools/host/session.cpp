// Running the operations of a session against the station.
#include "session.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <iostream>
#include <thread>

#include "console_text.h"
#include "exit_codes.h"
#include "register_value_text.h"

namespace kelvora_host {

std::atomic<bool> g_interrupted{false};

namespace {

using SteadyClock = std::chrono::steady_clock;

uint32_t ElapsedMs(SteadyClock::time_point since) {
    return static_cast<uint32_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(SteadyClock::now() - since).count());
}

std::string Duration(uint32_t ms) {
    char text[32];
    if (ms < 100) return std::string();
    std::snprintf(text, sizeof(text), "  (%.1f s)", ms / 1000.0);
    return text;
}

std::string TimeOfDay() {
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    const int millis = static_cast<int>(
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000);
    char text[32] = "";
    if (const std::tm* local = std::localtime(&seconds)) {
        std::snprintf(text, sizeof(text), "%02d:%02d:%02d.%03d", local->tm_hour, local->tm_min, local->tm_sec,
                      millis);
    }
    return text;
}

// Whether the first characters of text are name, ASCII case ignored: the
// driver picks a register type this way.
bool StartsWithName(const std::string& text, const char* name) {
    const size_t length = std::strlen(name);
    if (length == 0 || text.size() < length) return false;
    for (size_t i = 0; i < length; ++i) {
        if (std::tolower(static_cast<unsigned char>(text[i])) != std::tolower(static_cast<unsigned char>(name[i]))) {
            return false;
        }
    }
    return true;
}

}  // namespace

void Session::Emit(const std::string& line) {
    WriteOut((settings_.timestamps ? TimeOfDay() + "  " : std::string()) + line + "\n");
}

void Session::Fail(const std::string& message) { WriteErr("kelvora-host: " + message + "\n"); }

std::string Session::SyntaxHint(const std::string& typeName) const {
    const bool central = role_ == StationRole::kCentral;
    if (typeName == "M") {
        return central ? "M<site>.<address>, and M<site>.<address>.<bit> for data type bit (site 0-31, "
                         "address 0-1000, bit 0-31)"
                       : "M<address> (0-1000)";
    }
    if (typeName == "SEND_MSG") return central ? "SEND_MSG<site>, text only" : "SEND_MSG exactly, text only";
    if (typeName == "SMSC" || typeName == "DETC") {
        return central ? typeName + "<site>, text only" : typeName + " exactly (upper case), text only";
    }
    if (typeName == "COMFLAG") return "COMFLAG exactly (upper case), data type bit";
    return std::string();
}

bool Session::Resolve(const Target& target, Resolved* resolved) {
    kelvora::RegisterInfo* list = nullptr;
    uint16_t count = 0;
    driver_.GetRegisterList(&list, &count);
    // The register type the driver will pick: the first whose name begins the text.
    const kelvora::RegisterInfo* info = nullptr;
    for (uint16_t i = 0; list != nullptr && i < count; ++i) {
        if (StartsWithName(target.address, list[i].name)) {
            info = &list[i];
            break;
        }
    }
    int16_t dataType = kelvora::kDataInt;
    if (!target.typeName.empty()) {
        DataTypeFromName(target.typeName, &dataType);
    } else if (info != nullptr) {
        dataType = DefaultDataType(info->dataTypeMask);
    }
    std::memset(&resolved->request, 0, sizeof(resolved->request));
    resolved->request.dataType = dataType;
    resolved->dataType = dataType;
    resolved->label = target.address + (target.typeName.empty() ? "" : ":" + DataTypeName(dataType));
    if (driver_.ParseAddress(target.address.c_str(), &resolved->request) != 0) return true;

    const std::string status = DescribeStatusText(driver_.GetStatusText());
    std::string message = "'" + target.address + "' is not a register address of the " + RoleName(role_) +
                          " station for data type " + DataTypeName(dataType) + ": " + status;
    if (info == nullptr) {
        message += "\n  no register type begins that address; 'types' lists them";
    } else {
        const std::string name(info->name, strnlen(info->name, sizeof(info->name)));
        if ((info->dataTypeMask & dataType) == 0) {
            message += "\n  " + name + " takes data types " + DataTypeNames(info->dataTypeMask);
        }
        const std::string hint = SyntaxHint(name);
        if (!hint.empty()) message += "\n  " + name + " addresses: " + hint;
    }
    Fail(message);
    return false;
}

int Session::CheckAll(const std::vector<Operation>& operations) {
    for (const Operation& operation : operations) {
        for (const Target& target : operation.targets) {
            Resolved resolved;
            if (!Resolve(target, &resolved)) return kExitOperationFailed;
            if (target.hasValue) {
                kelvora::RegisterValue value;
                std::string error;
                if (!ParseRegisterValue(resolved.dataType, target.value, &value, &error)) {
                    Fail(resolved.label + ": " + error);
                    return kExitOperationFailed;
                }
            }
        }
    }
    return kExitOk;
}

bool Session::ReadOne(Resolved& resolved, kelvora::RegisterValue* value) {
    std::memset(value, 0, sizeof(*value));
    if (driver_.Read(&deviceAddress_, &resolved.request, value) != 0) return true;
    Fail("read " + resolved.label + " failed: " + DescribeStatusText(driver_.GetStatusText()));
    return false;
}

int Session::Read(const Operation& operation) {
    for (const Target& target : operation.targets) {
        Resolved resolved;
        if (!Resolve(target, &resolved)) return kExitOperationFailed;
        const auto start = SteadyClock::now();
        kelvora::RegisterValue value;
        if (!ReadOne(resolved, &value)) return kExitOperationFailed;
        Emit(resolved.label + " = " + FormatRegisterValue(resolved.dataType, value) + Duration(ElapsedMs(start)));
    }
    return kExitOk;
}

int Session::Write(const Operation& operation) {
    for (const Target& target : operation.targets) {
        Resolved resolved;
        if (!Resolve(target, &resolved)) return kExitOperationFailed;
        kelvora::RegisterValue value;
        std::string error;
        if (!ParseRegisterValue(resolved.dataType, target.value, &value, &error)) {
            Fail(resolved.label + ": " + error);
            return kExitOperationFailed;
        }
        const auto start = SteadyClock::now();
        if (driver_.Write(&deviceAddress_, &resolved.request, &value) == 0) {
            Fail("write " + resolved.label + " failed: " + DescribeStatusText(driver_.GetStatusText()));
            return kExitOperationFailed;
        }
        Emit(resolved.label + " <- " + FormatRegisterValue(resolved.dataType, value) + Duration(ElapsedMs(start)));
    }
    return kExitOk;
}

int Session::Sleep(uint32_t milliseconds) {
    const auto start = SteadyClock::now();
    while (!g_interrupted && ElapsedMs(start) < milliseconds) {
        const uint32_t left = milliseconds - ElapsedMs(start);
        std::this_thread::sleep_for(std::chrono::milliseconds(left < 50 ? left : 50));
    }
    return kExitOk;
}

int Session::Watch(const Operation& operation) {
    std::vector<Resolved> registers(operation.targets.size());
    for (size_t i = 0; i < operation.targets.size(); ++i) {
        if (!Resolve(operation.targets[i], &registers[i])) return kExitOperationFailed;
    }
    // Rounds keep to a grid of intervals; a round that overran (a poll takes
    // a second or more) skips the slots it missed rather than bunching up.
    const auto start = SteadyClock::now();
    uint64_t nextMs = 0;
    for (uint32_t round = 0; settings_.watchCount == 0 || round < settings_.watchCount; ++round) {
        if (g_interrupted) break;
        std::string line;
        for (Resolved& resolved : registers) {
            kelvora::RegisterValue value;
            if (!ReadOne(resolved, &value)) return kExitOperationFailed;
            if (!line.empty()) line += "   ";
            line += resolved.label + " = " + FormatRegisterValue(resolved.dataType, value);
        }
        Emit(line);
        if (settings_.watchCount != 0 && round + 1 == settings_.watchCount) break;
        const uint64_t nowMs = ElapsedMs(start);
        do {
            nextMs += settings_.intervalMs;
        } while (nextMs <= nowMs);
        Sleep(static_cast<uint32_t>(nextMs - nowMs));
    }
    return kExitOk;
}

int Session::Await(const Operation& operation) {
    const Target& target = operation.targets.front();
    Resolved resolved;
    if (!Resolve(target, &resolved)) return kExitOperationFailed;
    kelvora::RegisterValue expected;
    std::string error;
    if (!ParseRegisterValue(resolved.dataType, target.value, &expected, &error)) {
        Fail(resolved.label + ": " + error);
        return kExitOperationFailed;
    }
    const auto start = SteadyClock::now();
    kelvora::RegisterValue value;
    for (;;) {
        const auto roundStart = SteadyClock::now();
        if (!ReadOne(resolved, &value)) return kExitOperationFailed;
        if (SameRegisterValue(resolved.dataType, value, expected)) {
            Emit(resolved.label + " = " + FormatRegisterValue(resolved.dataType, value) + Duration(ElapsedMs(start)));
            return kExitOk;
        }
        if (g_interrupted || ElapsedMs(start) >= settings_.awaitTimeoutMs) break;
        const uint32_t spent = ElapsedMs(roundStart);
        if (spent < settings_.intervalMs) Sleep(settings_.intervalMs - spent);
    }
    Fail(resolved.label + " did not become " + FormatRegisterValue(resolved.dataType, expected) + " within " +
         std::to_string(ElapsedMs(start) / 1000.0).substr(0, 4) + " s (last read " +
         FormatRegisterValue(resolved.dataType, value) + ")");
    return kExitNotReached;
}

int Session::Types() {
    kelvora::RegisterInfo* list = nullptr;
    uint16_t count = 0;
    driver_.GetRegisterList(&list, &count);
    Emit(std::string("register types of the ") + RoleName(role_) + " station:");
    for (uint16_t i = 0; list != nullptr && i < count; ++i) {
        const std::string name(list[i].name, strnlen(list[i].name, sizeof(list[i].name)));
        const int32_t access = list[i].accessCode;
        const char* accessText = access == 3 ? "read/write" : access == 2 ? "write" : access == 1 ? "read" : "?";
        char line[160];
        std::snprintf(line, sizeof(line), "  %u  %-9s access %d (%s), data types %s", static_cast<unsigned>(i),
                      name.c_str(), static_cast<int>(access), accessText, DataTypeNames(list[i].dataTypeMask).c_str());
        Emit(line);
        const std::string hint = SyntaxHint(name);
        if (!hint.empty()) Emit("       address: " + hint);
    }
    return kExitOk;
}

int Session::Check(const Operation& operation) {
    for (const Target& target : operation.targets) {
        Resolved resolved;
        if (!Resolve(target, &resolved)) return kExitOperationFailed;
        const kelvora::RegisterRequest& r = resolved.request;
        char line[200];
        std::snprintf(line, sizeof(line), "%s: type index %d, fields %d %d %d %d, data type %s",
                      resolved.label.c_str(), r.typeIndex, static_cast<int>(r.address0), r.address1, r.address2,
                      r.address3, DataTypeName(resolved.dataType).c_str());
        Emit(line);
    }
    return kExitOk;
}

int Session::Run(const Operation& operation) {
    if (NeedsPort(operation) && !hasPort_) {
        Fail(std::string(OperationName(operation.kind)) + " needs a port: start the session with --port");
        return kExitUsage;
    }
    switch (operation.kind) {
        case OperationKind::kRead:
            return Read(operation);
        case OperationKind::kWrite:
            return Write(operation);
        case OperationKind::kWatch:
            return Watch(operation);
        case OperationKind::kAwait:
            return Await(operation);
        case OperationKind::kSleep:
            return Sleep(operation.milliseconds);
        case OperationKind::kTypes:
            return Types();
        case OperationKind::kCheck:
            return Check(operation);
        case OperationKind::kEcho:
            Emit(operation.text);
            return kExitOk;
    }
    return kExitUsage;
}

int Session::RunAll(const std::vector<Operation>& operations) {
    for (const Operation& operation : operations) {
        if (g_interrupted) return kExitOk;
        const int code = Run(operation);
        if (code != kExitOk) return code;
    }
    return kExitOk;
}

int Session::RunScript(std::istream& input, const std::string& name, bool keepGoing) {
    int firstFailure = kExitOk;
    std::string line;
    const bool interactive = &input == &std::cin && InputIsTerminal();
    for (unsigned number = 1;; ++number) {
        if (interactive) WriteOut("kelvora> ");
        if (g_interrupted || !std::getline(input, line)) break;
        std::vector<std::string> tokens;
        std::string error;
        std::vector<Operation> operations;
        int code = kExitOk;
        if (!SplitScriptLine(line, &tokens, &error)) {
            code = kExitUsage;
        } else if (tokens.size() == 1 && (tokens[0] == "quit" || tokens[0] == "exit")) {
            break;
        } else if (!ParseOperations(tokens, &operations, &error)) {
            code = kExitUsage;
        }
        if (code != kExitOk) {
            Fail(name + ":" + std::to_string(number) + ": " + error);
        } else {
            code = RunAll(operations);
        }
        if (code != kExitOk) {
            if (!keepGoing) return code;
            if (firstFailure == kExitOk) firstFailure = code;
        }
    }
    return firstFailure;
}

}  // namespace kelvora_host
