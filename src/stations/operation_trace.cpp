// Host operations as the trace tells them (see the header).
#include "stations/operation_trace.h"

#include <cstdio>

#include "driver/driver_status.h"
#include "modem/sms_record.h"
#include "platform/trace.h"
#include "stations/station_registers.h"

namespace kelvora {

namespace {

const char* DataTypeName(int16_t dataType) {
    switch (dataType) {
        case kDataBit: return "bit";
        case kDataInt: return "int";
        case kDataWord: return "word";
        case kDataFloat: return "float";
        case kDataText: return "text";
        default: return "data type ?";
    }
}

std::string ValueText(int16_t dataType, const RegisterValue& value) {
    char text[64];
    switch (dataType) {
        case kDataBit: std::snprintf(text, sizeof text, "%ld", static_cast<long>(value.bitValue)); break;
        case kDataInt: std::snprintf(text, sizeof text, "%ld", static_cast<long>(value.intValue)); break;
        case kDataWord: std::snprintf(text, sizeof text, "%u", static_cast<unsigned>(value.wordValue)); break;
        case kDataFloat: std::snprintf(text, sizeof text, "%g", static_cast<double>(value.floatValue)); break;
        case kDataText: return Printable(FieldText(value.textValue, sizeof value.textValue));
        default: return "?";
    }
    return text;
}

}  // namespace

std::string RegisterText(const RegisterTable& table, const RegisterRequest& request) {
    if (request.typeIndex < 0 || static_cast<uint32_t>(request.typeIndex) >= table.TypeCount()) return "?";
    const RegisterType& type = table.Type(static_cast<uint32_t>(request.typeIndex));
    std::string text = type.name;
    const DataTypeFormat* format = type.FormatFor(request.dataType);
    if (format == nullptr) return text;
    const int32_t fields[kMaxAddressFields] = {request.address0, request.address1, request.address2, request.address3};
    const char* digits = format->radix == 16 ? "%lX" : format->radix == 8 ? "%lo" : "%ld";
    for (int32_t k = 0; k < format->fieldCount && k < kMaxAddressFields; ++k) {
        if (k > 0) text += format->separator;
        char number[24];
        std::snprintf(number, sizeof number, digits, static_cast<long>(fields[k]));
        text += number;
    }
    return text;
}

std::string DescribeOperation(const char* verb, const RegisterTable& table, const RegisterRequest* request,
                              const RegisterValue* value, uint32_t status) {
    std::string text = verb;
    if (request == nullptr) return text + " (no request): status " + std::to_string(status);
    text += " " + RegisterText(table, *request) + " (" + DataTypeName(request->dataType) + ")";
    if (value != nullptr) text += " = " + ValueText(request->dataType, *value);
    return text + ": status " + std::to_string(status) + " (" + StatusMeaning(status) + ")";
}

}  // namespace kelvora
