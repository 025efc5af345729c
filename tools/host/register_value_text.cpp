// Register values between the terminal and the host records.
#include "register_value_text.h"

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "console_text.h"
#include "driver_text.h"
#include "modem/send_checks.h"

namespace kelvora_host {
namespace {

const struct {
    const char* name;
    int16_t type;
} kTypeNames[] = {{"bit", kelvora::kDataBit},
                  {"int", kelvora::kDataInt},
                  {"word", kelvora::kDataWord},
                  {"float", kelvora::kDataFloat},
                  {"text", kelvora::kDataText}};

// A whole 32-bit number: decimal (signed) or 0x hexadecimal (unsigned bits).
bool ParseInteger(const std::string& text, int64_t minimum, int64_t maximum, int64_t* out) {
    if (text.empty()) return false;
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    errno = 0;
    char* end = nullptr;
    const long long parsed = hex ? static_cast<long long>(std::strtoull(text.c_str() + 2, &end, 16))
                                 : std::strtoll(text.c_str(), &end, 10);
    if (errno != 0 || end == nullptr || *end != '\0' || (hex && text[2] == '-')) return false;
    if (parsed < minimum || parsed > maximum) return false;
    *out = parsed;
    return true;
}

}  // namespace

bool DataTypeFromName(const std::string& name, int16_t* dataType) {
    std::string lower = name;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (const auto& entry : kTypeNames) {
        if (lower == entry.name) {
            *dataType = entry.type;
            return true;
        }
    }
    int64_t code = 0;
    if (ParseInteger(lower, 1, 256, &code) && (code & (code - 1)) == 0) {
        *dataType = static_cast<int16_t>(code);
        return true;
    }
    return false;
}

std::string DataTypeName(int16_t dataType) {
    for (const auto& entry : kTypeNames) {
        if (entry.type == dataType) return entry.name;
    }
    return "type" + std::to_string(dataType);
}

std::string DataTypeNames(int32_t mask) {
    std::string names;
    for (int bit = 0; bit < 9; ++bit) {
        if ((mask & (1 << bit)) == 0) continue;
        if (!names.empty()) names += ", ";
        names += DataTypeName(static_cast<int16_t>(1 << bit));
    }
    return names.empty() ? "none" : names;
}

int16_t DefaultDataType(int32_t mask) {
    if (mask & kelvora::kDataInt) return kelvora::kDataInt;
    for (int bit = 0; bit < 9; ++bit) {
        if (mask & (1 << bit)) return static_cast<int16_t>(1 << bit);
    }
    return kelvora::kDataInt;
}

bool ParseRegisterValue(int16_t dataType, const std::string& text, kelvora::RegisterValue* value,
                        std::string* error) {
    std::memset(value, 0, sizeof(*value));
    int64_t number = 0;
    switch (dataType) {
        case kelvora::kDataBit:
            if (text == "on" || text == "true") {
                number = 1;
            } else if (text == "off" || text == "false") {
                number = 0;
            } else if (!ParseInteger(text, INT32_MIN, UINT32_MAX, &number)) {
                *error = "'" + text + "' is not a bit value (0, 1, on, off, or a 32-bit number)";
                return false;
            }
            value->bitValue = static_cast<int32_t>(static_cast<uint32_t>(number));
            return true;
        case kelvora::kDataInt:
            if (!ParseInteger(text, INT32_MIN, UINT32_MAX, &number)) {
                *error = "'" + text + "' is not a 32-bit integer (decimal, or hexadecimal with 0x)";
                return false;
            }
            value->intValue = static_cast<int32_t>(static_cast<uint32_t>(number));
            return true;
        case kelvora::kDataWord:
            if (!ParseInteger(text, 0, 65535, &number)) {
                *error = "'" + text + "' is not a word (0 to 65535, or 0x0 to 0xFFFF)";
                return false;
            }
            value->wordValue = static_cast<uint16_t>(number);
            return true;
        case kelvora::kDataFloat: {
            errno = 0;
            char* end = nullptr;
            const float parsed = std::strtof(text.c_str(), &end);
            if (text.empty() || errno != 0 || *end != '\0' || !std::isfinite(parsed)) {
                *error = "'" + text + "' is not a finite floating-point number";
                return false;
            }
            value->floatValue = parsed;
            return true;
        }
        case kelvora::kDataText: {
            std::string ansi;
            if (!Utf8ToDriverText(text, &ansi)) {
                *error = "the text has characters the driver's code page cannot hold";
                return false;
            }
            constexpr size_t kFieldBytes = kelvora::kTextValueSize - 1;
            if (ansi.size() > kFieldBytes) {
                // In the code page a Chinese character takes two bytes.
                const kelvora::TextFit fit = kelvora::FitText(ansi.data(), ansi.size(), INT_MAX, kFieldBytes);
                *error = "the text has " + std::to_string(fit.characters) + " characters; the driver's text field "
                         "holds " + std::to_string(kFieldBytes) + ", fewer when some are Chinese (" +
                         std::to_string(kFieldBytes / 2) + " Chinese ones): the first " +
                         std::to_string(fit.fitting) + " of this text fit";
                return false;
            }
            std::memcpy(value->textValue, ansi.data(), ansi.size());
            return true;
        }
        default:
            // A data type no register takes: the driver refuses the address.
            return true;
    }
}

std::string FormatRegisterValue(int16_t dataType, const kelvora::RegisterValue& value) {
    char text[64];
    switch (dataType) {
        case kelvora::kDataBit:
            return std::to_string(value.bitValue);
        case kelvora::kDataInt:
            return std::to_string(value.intValue);
        case kelvora::kDataWord:
            return std::to_string(value.wordValue);
        case kelvora::kDataFloat:
            std::snprintf(text, sizeof(text), "%.9g", static_cast<double>(value.floatValue));
            return text;
        case kelvora::kDataText: {
            const std::string utf8 = DriverTextToUtf8(value.textValue, kelvora::kTextValueSize);
            std::string quoted = "\"";
            for (char c : utf8) {
                const unsigned char u = static_cast<unsigned char>(c);
                if (c == '"' || c == '\\') {
                    quoted += '\\';
                    quoted += c;
                } else if (u < 0x20 || u == 0x7F) {
                    std::snprintf(text, sizeof(text), "\\x%02X", u);
                    quoted += text;
                } else {
                    quoted += c;
                }
            }
            return quoted + "\"";
        }
        default:
            return "?";
    }
}

bool SameRegisterValue(int16_t dataType, const kelvora::RegisterValue& actual,
                       const kelvora::RegisterValue& expected) {
    switch (dataType) {
        case kelvora::kDataBit:
            return actual.bitValue == expected.bitValue;
        case kelvora::kDataInt:
            return actual.intValue == expected.intValue;
        case kelvora::kDataWord:
            return actual.wordValue == expected.wordValue;
        case kelvora::kDataFloat:
            return actual.floatValue == expected.floatValue;
        case kelvora::kDataText:
            return std::strncmp(actual.textValue, expected.textValue, kelvora::kTextValueSize) == 0;
        default:
            return false;
    }
}

}  // namespace kelvora_host
