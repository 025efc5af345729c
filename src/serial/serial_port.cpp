// SerialPort: the operations every binding shares.
#include "serial/serial_port.h"

#include <cstring>

namespace kelvora {

uint32_t SerialPort::WriteText(const char* text, uint32_t* written, AsyncRequest* request, uint32_t timeoutMs) {
    // A null text is sent as an empty one: Write still reports the port's state.
    const uint32_t length = text != nullptr ? static_cast<uint32_t>(std::strlen(text)) : 0u;
    return Write(text != nullptr ? text : "", length, written, request, timeoutMs);
}

}  // namespace kelvora
