// The module and device catalogue: one module, "Ostrel", driving three
// device entries, each named and identified by a GUID text.
#include "driver/catalogue.h"

#include <cstring>

namespace {

constexpr int32_t kModuleValue = 1;
constexpr char kModuleName[] = "Ostrel";

// Reported to the host for every device; their meaning is the host's.
constexpr int32_t kDeviceValue168 = -1;
constexpr int32_t kDeviceValue172 = 64;
constexpr int32_t kDeviceValue176 = 0xFF33;
constexpr int32_t kDeviceValue180 = 0x8412;

struct CatalogueEntry {
    const char* name;
    const char* identifier;  // GUID, 8-4-4-4-12, capitals, no braces
};

constexpr CatalogueEntry kDevices[kelvora::kCatalogueDeviceCount] = {
    {"Fenwix", "5D7A31C4-2E98-4B06-9F13-C6A0B2E47D58"},
    {"Orrel", "A3E6F072-71BD-4C59-8D24-17F9E05C3B6A"},
    {"Tamsk", "0F4B9D8E-C612-47A3-B5E0-9A2C6D81F374"},
};

// Copies a NUL-terminated text into a zero-filled field, never past it.
template <size_t N>
void CopyText(char (&field)[N], const char* text) {
    const size_t length = std::strlen(text);
    std::memcpy(field, text, length < N ? length : N - 1);
}

}  // namespace

extern "C" int32_t STDAPICALLTYPE GetModuleInfo(kelvora::ModuleInfo* info, uint32_t size) {
    if (size != kelvora::kModuleInfoSize || info == nullptr) return 0;
    std::memset(info, 0, sizeof *info);
    info->moduleValue = kModuleValue;
    CopyText(info->name, kModuleName);
    info->deviceCount = kelvora::kCatalogueDeviceCount;
    return 1;
}

extern "C" int32_t STDAPICALLTYPE GetDeviceInfo(int32_t index, kelvora::DeviceInfo* info, uint32_t size) {
    if (size != kelvora::kDeviceInfoSize || info == nullptr) return 0;
    std::memset(info, 0, sizeof *info);
    if (index < 0 || index >= kelvora::kCatalogueDeviceCount) return 0;
    const CatalogueEntry& device = kDevices[index];
    CopyText(info->name, device.name);
    CopyText(info->identifier, device.identifier);
    info->value168 = kDeviceValue168;
    info->value172 = kDeviceValue172;
    info->value176 = kDeviceValue176;
    info->value180 = kDeviceValue180;
    return 1;
}
