// RegisterTable: the register types a station offers, the data types each
// accepts, the syntax of register addresses per data type and of device
// addresses, and the parsers that turn address texts into numbers.
#pragma once

#include <cstdint>
#include <vector>

#include "driver/host_records.h"

namespace kelvora {

constexpr int kMaxAddressFields = 4;
constexpr int kDataTypeBits = 9;        // only the low nine mask bits count
constexpr size_t kTypeNameSize = 40;    // 39 characters and the NUL

struct DataTypeFormat {
    int16_t dataType = 0;
    int32_t fieldCount = 1;
    char separator = '.';
    int32_t minimums[kMaxAddressFields] = {0, 0, 0, 0};
    int32_t maximums[kMaxAddressFields] = {65535, 0, 0, 0};
    int32_t widths[kMaxAddressFields] = {0, 0, 0, 0};
    int32_t radix = 10;
};

struct RegisterType {
    std::vector<DataTypeFormat> formats;  // one per accepted data type, ascending bit
    char name[kTypeNameSize] = {};
    int32_t accessCode = 0;
    int32_t dataTypeMask = 0;
    uint16_t formatCount = 0;

    const DataTypeFormat* FormatFor(int32_t dataType) const;
};

class RegisterTable {
public:
    RegisterTable() = default;
    virtual ~RegisterTable() = default;

    // 1, or 0 when the name is missing, empty or 40 characters or longer.
    int AddType(const char* name, int32_t dataTypeMask, int32_t accessCode);
    // 1, or 0 when no type of that name accepts the data type, the field
    // count is outside 0 to 4 or the radix is not 8, 10 or 16. Null arrays
    // give the defaults 0, 65535 and 0.
    int SetFieldFormat(const char* typeName, int32_t dataType, int32_t fieldCount, int32_t radix,
                       char separator, const int32_t* minimums, const int32_t* maximums,
                       const int32_t* widths);
    // 1, or 0 (nothing changed) when the radix is not 8, 10 or 16 or
    // minimum > maximum.
    int SetDeviceAddressFormat(int32_t radix, int32_t minimum, int32_t maximum);

    // The parsers refuse a number above 2147483647 rather than let it wrap.
    int ParseDeviceAddress(const char* text, int32_t* number) const;
    int ParseAddress(const char* text, RegisterRequest* request) const;
    static int ParseNumber(const char* text, int32_t* value, int32_t width, int32_t minimum,
                           int32_t maximum, int32_t radix);

    uint32_t TypeCount() const { return static_cast<uint32_t>(types_.size()); }
    const RegisterType& Type(uint32_t index) const { return types_[index]; }
    int32_t DeviceMinimum() const { return minimum_; }
    int32_t DeviceMaximum() const { return maximum_; }
    int32_t DeviceRadix() const { return radix_; }

private:
    std::vector<RegisterType> types_;
    int32_t minimum_ = 0;
    int32_t maximum_ = 255;
    int32_t radix_ = 10;
};

}  // namespace kelvora
