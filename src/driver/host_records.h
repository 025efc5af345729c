// The records the host owns and exchanges with the driver, in the byte layouts
// of the 32-bit build (pinned by static_asserts there). The driver reads and
// writes only the named members; the reserved bytes belong to the host.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kelvora {

// Data-type bits, as in the register types' data-type masks.
enum DataType : int16_t {
    kDataBit = 1,
    kDataInt = 4,
    kDataWord = 8,
    kDataFloat = 128,
    kDataText = 256,
};

#pragma pack(push, 4)

// Names one register: ParseAddress fills it, Read and Write read it.
struct RegisterRequest {
    int16_t typeIndex;       // 0
    int16_t reserved0;
    int32_t address0;        // 4
    int16_t address1;        // 8
    int16_t address2;        // 10
    int16_t address3;        // 12
    uint8_t reserved1[10];
    int16_t dataType;        // 24, set by the host
    int16_t reserved2;
};

constexpr size_t kTextValueSize = 131;

// One register value; the field the data type names carries it.
struct RegisterValue {
    int32_t bitValue;        // 0
    uint8_t reserved0[4];
    int32_t intValue;        // 8
    uint16_t wordValue;      // 12
    uint8_t reserved1[14];
    float floatValue;        // 28
    char textValue[kTextValueSize];  // 32, NUL-terminated
    uint8_t reserved2;
};

constexpr size_t kRegisterNameSize = 32;

// One register type as the host sees it.
struct RegisterInfo {
    char name[kRegisterNameSize];  // 0, NUL-terminated, zero-filled
    int32_t zero;                  // 32: always 0
    int32_t limit;                 // 36: always 255
    int32_t accessCode;            // 40
    int32_t dataTypeMask;          // 44
    int32_t dataTypeMask2;         // 48: the mask again
};

// The host's settings of one serial port.
struct LineSettings {
    int16_t portIndex;       // 0: 0 opens COM1
    int16_t reserved0;
    uint32_t baudCode;       // 4
    uint16_t eightDataBits;  // 8
    uint16_t twoStopBits;    // 10
    int16_t parityCode;      // 12
    int16_t lineType;        // 14
    int32_t timeout;         // 16, milliseconds
};

// One per serial port, shared by every device the host puts on that port.
struct PortConfig {
    LineSettings* lineSettings;                   // 0
    uint8_t reserved0[72 - sizeof(void*)];
    uint32_t sharedHandle;                        // 72
};

constexpr size_t kModuleInfoSize = 144;
constexpr size_t kDeviceInfoSize = 192;

struct ModuleInfo {
    int32_t moduleValue;     // 0: 1
    char name[128];          // 4
    int32_t deviceCount;     // 132
    uint8_t reserved[8];     // 136
};

struct DeviceInfo {
    char name[128];          // 0
    char identifier[40];     // 128: GUID text, 8-4-4-4-12, capitals, no braces
    int32_t value168;        // 168: -1
    int32_t value172;        // 172: 64
    int32_t value176;        // 176: 0xFF33
    int32_t value180;        // 180: 0x8412
    uint8_t reserved[8];     // 184
};

#pragma pack(pop)

static_assert(sizeof(ModuleInfo) == kModuleInfoSize, "ModuleInfo is 144 bytes");
static_assert(sizeof(DeviceInfo) == kDeviceInfoSize, "DeviceInfo is 192 bytes");
static_assert(sizeof(RegisterInfo) == 52, "RegisterInfo is 52 bytes");
static_assert(sizeof(LineSettings) == 20, "LineSettings is 20 bytes");
static_assert(offsetof(PortConfig, sharedHandle) == 72, "sharedHandle at 72");

// Pointers are 4 bytes in the 32-bit build the host loads: pin every offset there.
#if defined(_WIN32) && !defined(_WIN64)
static_assert(sizeof(void*) == 4, "the Win32 build is 32-bit");
static_assert(offsetof(RegisterRequest, typeIndex) == 0, "");
static_assert(offsetof(RegisterRequest, address0) == 4, "");
static_assert(offsetof(RegisterRequest, address1) == 8, "");
static_assert(offsetof(RegisterRequest, address2) == 10, "");
static_assert(offsetof(RegisterRequest, address3) == 12, "");
static_assert(offsetof(RegisterRequest, dataType) == 24, "");
static_assert(sizeof(RegisterRequest) == 28, "");
static_assert(offsetof(RegisterValue, bitValue) == 0, "");
static_assert(offsetof(RegisterValue, intValue) == 8, "");
static_assert(offsetof(RegisterValue, wordValue) == 12, "");
static_assert(offsetof(RegisterValue, floatValue) == 28, "");
static_assert(offsetof(RegisterValue, textValue) == 32, "");
static_assert(sizeof(RegisterValue) == 164, "");
static_assert(offsetof(RegisterInfo, name) == 0, "");
static_assert(offsetof(RegisterInfo, zero) == 32, "");
static_assert(offsetof(RegisterInfo, limit) == 36, "");
static_assert(offsetof(RegisterInfo, accessCode) == 40, "");
static_assert(offsetof(RegisterInfo, dataTypeMask) == 44, "");
static_assert(offsetof(RegisterInfo, dataTypeMask2) == 48, "");
static_assert(offsetof(PortConfig, lineSettings) == 0, "");
static_assert(sizeof(PortConfig) == 76, "");
static_assert(offsetof(LineSettings, portIndex) == 0, "");
static_assert(offsetof(LineSettings, baudCode) == 4, "");
static_assert(offsetof(LineSettings, eightDataBits) == 8, "");
static_assert(offsetof(LineSettings, twoStopBits) == 10, "");
static_assert(offsetof(LineSettings, parityCode) == 12, "");
static_assert(offsetof(LineSettings, lineType) == 14, "");
static_assert(offsetof(LineSettings, timeout) == 16, "");
static_assert(offsetof(ModuleInfo, name) == 4, "");
static_assert(offsetof(ModuleInfo, deviceCount) == 132, "");
static_assert(offsetof(ModuleInfo, reserved) == 136, "");
static_assert(offsetof(DeviceInfo, identifier) == 128, "");
static_assert(offsetof(DeviceInfo, value168) == 168, "");
static_assert(offsetof(DeviceInfo, value172) == 172, "");
static_assert(offsetof(DeviceInfo, value176) == 176, "");
static_assert(offsetof(DeviceInfo, value180) == 180, "");
static_assert(offsetof(DeviceInfo, reserved) == 184, "");
#endif

}  // namespace kelvora
