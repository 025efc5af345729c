// Checking what the user typed before anything runs: the register each
// address names (as the driver reads it, and as typed), and each value.
#include <cctype>
#include <cstring>

#include "address_check.h"
#include "console_text.h"
#include "driver_text.h"
#include "exit_codes.h"
#include "register_value_text.h"
#include "session.h"
#include "station_facts.h"
#include "write_checks.h"

namespace kelvora_host {
namespace {

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

bool Session::Resolve(const Target& target, Resolved* resolved) {
    const std::string key = target.address + '\n' + target.typeName;
    const auto known = resolved_.find(key);
    if (known != resolved_.end()) {
        *resolved = known->second;
        return true;
    }
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
    resolved->typeName = info != nullptr ? RegisterTypeName(*info) : std::string();
    resolved->address = target.address;
    resolved->label = target.address + (target.typeName.empty() ? "" : ":" + DataTypeName(dataType));
    if (driver_.ParseAddress(target.address.c_str(), &resolved->request) != 0) {
        std::string error;
        if (AddressReadAsTyped(role_, target.address, resolved->request, &error)) {
            resolved_[key] = *resolved;
            return true;
        }
        Fail(error);
        return false;
    }

    const std::string status = DescribeStatusText(driver_.GetStatusText());
    std::string message = "'" + target.address + "' is not a register address of the " + RoleName(role_) +
                          " station for data type " + DataTypeName(dataType) + ": " + status;
    if (info == nullptr) {
        message += "\n  no register type begins that address; 'types' lists them";
    } else {
        if ((info->dataTypeMask & dataType) == 0) {
            message += "\n  " + resolved->typeName + " takes data types " + DataTypeNames(info->dataTypeMask);
        }
        const std::string syntax = AddressSyntax(role_, resolved->typeName);
        if (!syntax.empty()) message += "\n  " + resolved->typeName + " addresses: " + syntax;
    }
    Fail(message);
    return false;
}

bool Session::ParseValue(const Resolved& resolved, const std::string& text, bool writing,
                         kelvora::RegisterValue* value) {
    std::string error;
    if (!ParseRegisterValue(resolved.dataType, text, value, &error)) {
        Fail(resolved.label + ": " + error);
        return false;
    }
    if (resolved.dataType == kelvora::kDataBit && BitWriteIsSingleBit(role_, resolved.typeName) &&
        value->bitValue != 0 && value->bitValue != 1) {
        Fail(resolved.label + ": '" + text + "' is not a bit: the station sets the bit for 1 and clears it for "
             "anything else; write 0 or 1");
        return false;
    }
    const std::string problem =
        writing ? WriteProblem(role_, resolved.typeName, resolved.request, *value, text, settings_.force) : "";
    if (!problem.empty()) {
        Fail(resolved.label + ": " + problem);
        return false;
    }
    return true;
}

int Session::CheckAll(const std::vector<Operation>& operations) {
    int code = kExitOk;
    for (const Operation& operation : operations) {
        origin_ = operation.origin;
        if (operation.kind == OperationKind::kStatus && role_ != StationRole::kCentral) {
            Fail("status shows the centre's view of its sites: it runs at the central station");
            code = kExitUsage;
        }
        for (const Target& target : operation.targets) {
            Resolved resolved;
            kelvora::RegisterValue value;
            const bool writing = operation.kind == OperationKind::kWrite;
            if (!Resolve(target, &resolved) ||
                (target.hasValue && !ParseValue(resolved, target.value, writing, &value))) {
                code = kExitOperationFailed;
            }
        }
    }
    origin_.clear();
    return code;
}

}  // namespace kelvora_host
