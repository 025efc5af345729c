// A setting the user gives the driver outside the host: an environment
// variable, else (Windows) a string value under HKEY_CURRENT_USER\Software\Kelvora,
// else under HKEY_LOCAL_MACHINE\SOFTWARE\Kelvora (the 32-bit view), so that a
// host running as a service can be given it too. Read where a station is
// created; the trace switch and the poll scope are such settings.
#pragma once

#include <string>

namespace kelvora {

// The value of `variable`, else (Windows) of the registry value
// `registryValue` (none: nullptr); empty when none is set.
std::string SystemSetting(const char* variable, const char* registryValue);

}  // namespace kelvora
