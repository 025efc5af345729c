// Self-registration on the Win32 registry. Keys and values are written with
// the wide API so that any module path survives; writing the same values
// again leaves the registry as it was.
#include "com/registry_writer.h"

#include <windows.h>

#include <string>

#include "com/registration.h"
#include "com/station_classes.h"

namespace kelvora {

namespace {

std::wstring Widen(const std::string& ascii) { return std::wstring(ascii.begin(), ascii.end()); }

// This module's full path, or empty when it cannot be had.
std::wstring ModulePath() {
    HMODULE module = nullptr;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            reinterpret_cast<LPCWSTR>(&RegisterStationClasses), &module)) {
        return {};
    }
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(module, &path[0], static_cast<DWORD>(path.size()));
        if (length == 0) return {};
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        if (path.size() >= 32768) return {};  // longer than any path the system has
        path.resize(path.size() * 2);
    }
}

void WriteString(const std::wstring& key, const std::wstring& name, const std::wstring& value) {
    HKEY handle = nullptr;
    if (RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr,
                        &handle, nullptr) != ERROR_SUCCESS) {
        return;
    }
    const DWORD bytes = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));
    RegSetValueExW(handle, name.empty() ? nullptr : name.c_str(), 0, REG_SZ,
                   reinterpret_cast<const BYTE*>(value.c_str()), bytes);
    RegCloseKey(handle);
}

}  // namespace

void RegisterStationClasses() {
    const std::wstring modulePath = ModulePath();
    for (const RegistryEntry& entry : RegistrationEntries(StationClasses(), kStationClassCount)) {
        if (entry.valueIsModulePath) {
            if (modulePath.empty()) continue;  // better no server path than a wrong one
            WriteString(Widen(entry.key), Widen(entry.name), modulePath);
        } else {
            WriteString(Widen(entry.key), Widen(entry.name), Widen(entry.value));
        }
    }
}

}  // namespace kelvora
