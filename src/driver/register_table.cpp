// RegisterTable: adding register types, describing their address fields, and
// parsing register and device addresses. Numbers are read in radix 8, 10 or
// 16 and must fit a 32-bit signed value; nothing is read past a text's end.
#include "driver/register_table.h"

#include <cstring>

namespace kelvora {

namespace {

constexpr int64_t kInt32Max = 2147483647;

bool IsSupportedRadix(int32_t radix) { return radix == 8 || radix == 10 || radix == 16; }

// The value of c as a digit of the radix, or -1. Radixes other than 8, 10
// and 16 have no digits.
int DigitValue(char c, int32_t radix) {
    if (!IsSupportedRadix(radix)) return -1;
    int value = -1;
    if (c >= '0' && c <= '9') value = c - '0';
    else if (c >= 'A' && c <= 'F') value = c - 'A' + 10;
    else if (c >= 'a' && c <= 'f') value = c - 'a' + 10;
    return value < radix ? value : -1;
}

char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// True when text begins with name, letters compared without regard to case.
bool StartsWithIgnoringCase(const char* text, const char* name) {
    for (; *name != '\0'; ++name, ++text) {
        if (*text == '\0' || AsciiLower(*text) != AsciiLower(*name)) return false;
    }
    return true;
}

// The first separator at or after from, within the text; a NUL separator
// never matches, so a search cannot run past the terminator.
const char* FindSeparator(const char* from, char separator) {
    if (separator == '\0') return nullptr;
    return std::strchr(from, separator);
}

}  // namespace

const DataTypeFormat* RegisterType::FormatFor(int32_t dataType) const {
    for (const DataTypeFormat& format : formats) {
        if (format.dataType == dataType) return &format;
    }
    return nullptr;
}

int RegisterTable::AddType(const char* name, int32_t dataTypeMask, int32_t accessCode) {
    if (name == nullptr || name[0] == '\0') return 0;
    size_t length = 0;
    while (length < kTypeNameSize && name[length] != '\0') ++length;
    if (length >= kTypeNameSize) return 0;  // no room for the NUL

    RegisterType type;
    std::memcpy(type.name, name, length);
    type.accessCode = accessCode;
    type.dataTypeMask = dataTypeMask;
    const uint32_t mask = static_cast<uint32_t>(dataTypeMask);
    for (int bit = 0; bit < kDataTypeBits; ++bit) {
        if ((mask >> bit) & 1u) {
            DataTypeFormat format;
            format.dataType = static_cast<int16_t>(1 << bit);
            type.formats.push_back(format);
        }
    }
    type.formatCount = static_cast<uint16_t>(type.formats.size());
    types_.push_back(std::move(type));
    return 1;
}

int RegisterTable::SetFieldFormat(const char* typeName, int32_t dataType, int32_t fieldCount, int32_t radix,
                                  char separator, const int32_t* minimums, const int32_t* maximums,
                                  const int32_t* widths) {
    if (typeName == nullptr) return 0;
    if (fieldCount < 0 || fieldCount > kMaxAddressFields) return 0;
    if (!IsSupportedRadix(radix)) return 0;
    for (RegisterType& type : types_) {
        if (std::strcmp(type.name, typeName) != 0) continue;
        for (DataTypeFormat& format : type.formats) {
            if (format.dataType != dataType) continue;
            format.radix = radix;
            format.separator = separator;
            format.fieldCount = fieldCount;
            for (int k = 0; k < fieldCount; ++k) {
                format.minimums[k] = minimums != nullptr ? minimums[k] : 0;
                format.maximums[k] = maximums != nullptr ? maximums[k] : 65535;
                format.widths[k] = widths != nullptr ? widths[k] : 0;
            }
            return 1;
        }
    }
    return 0;
}

int RegisterTable::SetDeviceAddressFormat(int32_t radix, int32_t minimum, int32_t maximum) {
    if (!IsSupportedRadix(radix) || minimum > maximum) return 0;
    radix_ = radix;
    minimum_ = minimum;
    maximum_ = maximum;
    return 1;
}

int RegisterTable::ParseDeviceAddress(const char* text, int32_t* number) const {
    if (text == nullptr || number == nullptr) return 0;
    int64_t value = 0;  // an empty text is address 0
    for (const char* c = text; *c != '\0'; ++c) {
        const int digit = DigitValue(*c, radix_);
        if (digit < 0) return 0;
        value = value * radix_ + digit;
        if (value > kInt32Max) return 0;  // refused, never wrapped into range
    }
    if (value < minimum_ || value > maximum_) return 0;
    *number = static_cast<int32_t>(value);
    return 1;
}

int RegisterTable::ParseNumber(const char* text, int32_t* value, int32_t width, int32_t minimum, int32_t maximum,
                               int32_t radix) {
    if (text == nullptr || value == nullptr) return 0;
    *value = 0;
    if (width < 0) return 0;

    int64_t accumulated = 0;
    int32_t count = 0;
    for (const char* c = text; width == 0 || count < width; ++c, ++count) {
        const int digit = DigitValue(*c, radix);  // the terminator is no digit
        if (digit < 0) {
            if (width > 0 || count == 0) return 0;
            break;
        }
        accumulated = accumulated * radix + digit;
        if (accumulated > kInt32Max) return 0;
        *value = static_cast<int32_t>(accumulated);
    }
    return (accumulated >= minimum && accumulated <= maximum) ? 1 : 0;
}

int RegisterTable::ParseAddress(const char* text, RegisterRequest* request) const {
    if (text == nullptr || request == nullptr) return 0;

    // The first type whose name begins the text is taken, even if the rest fails.
    size_t index = 0;
    while (index < types_.size() && !StartsWithIgnoringCase(text, types_[index].name)) ++index;
    if (index == types_.size()) return 0;
    const RegisterType& type = types_[index];

    const DataTypeFormat* format = type.FormatFor(request->dataType);
    if (format == nullptr) return 0;
    request->typeIndex = static_cast<int16_t>(index);

    // With no fields the address is the name alone, in its exact case.
    if (format->fieldCount == 0) return std::strcmp(text, type.name) == 0 ? 1 : 0;

    const char* field = text + std::strlen(type.name);
    const char* separator = FindSeparator(field, format->separator);
    if (format->widths[0] != 0 && separator != nullptr && separator - field != format->widths[0]) return 0;

    int32_t number = 0;
    if (!ParseNumber(field, &number, format->widths[0], format->minimums[0], format->maximums[0], format->radix)) {
        return 0;
    }
    request->address0 = number;

    int16_t* const further[] = {&request->address1, &request->address2, &request->address3};
    for (int k = 1; k < format->fieldCount; ++k) {
        separator = FindSeparator(field, format->separator);
        if (separator == nullptr) return 0;
        field = separator + 1;
        if (!ParseNumber(field, &number, format->widths[k], format->minimums[k], format->maximums[k],
                         format->radix)) {
            return 0;
        }
        // The record holds 16 bits for these fields: the low 16 bits are kept.
        *further[k - 1] = static_cast<int16_t>(static_cast<uint16_t>(static_cast<uint32_t>(number) & 0xFFFFu));
    }
    return 1;
}

}  // namespace kelvora
