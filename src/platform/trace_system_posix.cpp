// The dialogue trace's platform part on POSIX: the environment only, no
// debug-output channel, local time from the real-time clock, getpid.
#include <time.h>
#include <unistd.h>

#include <cstdio>

#include "platform/system_setting.h"
#include "platform/trace_system.h"

namespace kelvora {

std::string TraceDestinationFromSystem() { return SystemSetting("KELVORA_TRACE", "Trace"); }

bool HasDebugOutput() { return false; }

void WriteDebugOutput(const std::string&) {}

std::string LocalTimestamp() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    tm local{};
    localtime_r(&now.tv_sec, &local);
    char text[64];  // room for any value the formats could print
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d.%03ld", local.tm_year + 1900, local.tm_mon + 1,
                  local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec, static_cast<long>(now.tv_nsec / 1000000));
    return text;
}

uint64_t CurrentProcessId() { return static_cast<uint64_t>(getpid()); }

}  // namespace kelvora
