// The dialogue trace's platform part on Windows: its switch (a setting:
// the environment, then the registry); OutputDebugString; GetLocalTime;
// GetCurrentProcessId.
#include <windows.h>

#include <cstdio>

#include "platform/system_setting.h"
#include "platform/trace_system.h"

namespace kelvora {

std::string TraceDestinationFromSystem() { return SystemSetting("KELVORA_TRACE", "Trace"); }

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

uint64_t CurrentProcessId() { return GetCurrentProcessId(); }

}  // namespace kelvora
