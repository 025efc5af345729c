// What the dialogue trace needs of the platform: where the user asked it to
// go (the environment, and on Windows the registry, which hosts that run as
// services can be given more easily), the debug-output channel, the local
// wall-clock time and the process.
#pragma once

#include <cstdint>
#include <string>

namespace kelvora {

// The destination named by KELVORA_TRACE, else (Windows) by the string value
// "Trace" under HKEY_CURRENT_USER\Software\Kelvora, else under
// HKEY_LOCAL_MACHINE\SOFTWARE\Kelvora (the 32-bit view). Empty: no trace.
std::string TraceDestinationFromSystem();

// Whether this platform has a debug-output channel ("debug" destination),
// and a line to it.
bool HasDebugOutput();
void WriteDebugOutput(const std::string& line);

// "YYYY-MM-DD hh:mm:ss.mmm", local time.
std::string LocalTimestamp();

// This process's identity, as the system shows it (each trace line names it).
uint64_t CurrentProcessId();

}  // namespace kelvora
