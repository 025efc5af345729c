// Register values as text: data type names, parsing a value the user typed
// into the host's RegisterValue record, and showing a value read back.
#pragma once

#include <cstdint>
#include <string>

#include "driver/host_records.h"

namespace kelvora_host {

// "bit", "int", "word", "float", "text" (or the numeric code of any of the
// nine data-type bits). false for anything else.
bool DataTypeFromName(const std::string& name, int16_t* dataType);
std::string DataTypeName(int16_t dataType);
// Names of the data types set in a mask: "bit, int, word, float".
std::string DataTypeNames(int32_t mask);
// The data type an address gets when the user names none: int when the
// register type takes it, else the lowest one it takes.
int16_t DefaultDataType(int32_t mask);

// Fills the field of value that dataType names. Text is UTF-8 and goes to the
// driver's code page, at most 130 bytes there.
bool ParseRegisterValue(int16_t dataType, const std::string& text, kelvora::RegisterValue* value,
                        std::string* error);
std::string FormatRegisterValue(int16_t dataType, const kelvora::RegisterValue& value);
// Whether the field of dataType in actual equals the one in expected.
bool SameRegisterValue(int16_t dataType, const kelvora::RegisterValue& actual,
                       const kelvora::RegisterValue& expected);

}  // namespace kelvora_host
