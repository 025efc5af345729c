// The dialogue trace's platform part on Windows: the environment (read
// through the process's own block, which the host and every runtime share),
// then the registry; OutputDebugString; GetLocalTime.
#include <windows.h>

#include <cstdio>

#include "platform/trace_system.h"

namespace kelvora {

namespace {

constexpr DWORD kMaxDestination = 1024;

std::string RegistryString(HKEY root, const char* key) {
    HKEY opened = nullptr;
    // The 32-bit view: a 32-bit driver's settings live there on 64-bit Windows.
    if (RegOpenKeyExA(root, key, 0, KEY_QUERY_VALUE | KEY_WOW64_32KEY, &opened) != ERROR_SUCCESS) return std::string();
    char value[kMaxDestination] = {};
    DWORD type = 0;
    DWORD size = sizeof value - 1;  // room for a NUL the stored string may lack
    const LONG result = RegQueryValueExA(opened, "Trace", nullptr, &type, reinterpret_cast<BYTE*>(value), &size);
    RegCloseKey(opened);
    if (result != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return std::string();
    value[size < sizeof value ? size : sizeof value - 1] = '\0';
    return value;
}

}  // namespace

std::string TraceDestinationFromSystem() {
    char value[kMaxDestination];
    const DWORD length = GetEnvironmentVariableA("KELVORA_TRACE", value, sizeof value);
    if (length > 0 && length < sizeof value) return std::string(value, length);
    std::string destination = RegistryString(HKEY_CURRENT_USER, "Software\\Kelvora");
    if (destination.empty()) destination = RegistryString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Kelvora");
    return destination;
}

bool HasDebugOutput() { return true; }

void WriteDebugOutput(const std::string& line) { OutputDebugStringA(line.c_str()); }

std::string LocalTimestamp() {
    SYSTEMTIME now;
    GetLocalTime(&now);
    char text[64];  // room for any value the formats could print
    std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u.%03u", now.wYear, now.wMonth, now.wDay, now.wHour,
                  now.wMinute, now.wSecond, now.wMilliseconds);
    return text;
}

}  // namespace kelvora
