// Settings on Windows: the environment (read through the process's own block,
// which the host and every runtime share), then the user's registry, then
// the machine's.
#include <windows.h>

#include "platform/system_setting.h"

namespace kelvora {

namespace {

constexpr DWORD kMaxSetting = 1024;

std::string RegistryString(HKEY root, const char* key, const char* name) {
    HKEY opened = nullptr;
    // The 32-bit view: a 32-bit driver's settings live there on 64-bit Windows.
    if (RegOpenKeyExA(root, key, 0, KEY_QUERY_VALUE | KEY_WOW64_32KEY, &opened) != ERROR_SUCCESS) return std::string();
    char value[kMaxSetting] = {};
    DWORD type = 0;
    DWORD size = sizeof value - 1;  // room for a NUL the stored string may lack
    const LONG result = RegQueryValueExA(opened, name, nullptr, &type, reinterpret_cast<BYTE*>(value), &size);
    RegCloseKey(opened);
    if (result != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return std::string();
    value[size < sizeof value ? size : sizeof value - 1] = '\0';
    return value;
}

}  // namespace

std::string SystemSetting(const char* variable, const char* registryValue) {
    char value[kMaxSetting];
    const DWORD length = GetEnvironmentVariableA(variable, value, sizeof value);
    if (length > 0 && length < sizeof value) return std::string(value, length);
    if (registryValue == nullptr) return std::string();
    std::string setting = RegistryString(HKEY_CURRENT_USER, "Software\\Kelvora", registryValue);
    if (setting.empty()) setting = RegistryString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Kelvora", registryValue);
    return setting;
}

}  // namespace kelvora
