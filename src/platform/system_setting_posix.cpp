// Settings on POSIX: the environment only.
#include <cstdlib>

#include "platform/system_setting.h"

namespace kelvora {

std::string SystemSetting(const char* variable, const char*) {
    const char* value = std::getenv(variable);
    return value != nullptr ? value : "";
}

}  // namespace kelvora
