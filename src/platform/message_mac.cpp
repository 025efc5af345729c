// What both platforms share of the message authentication code.
#include "platform/message_mac.h"

namespace kelvora {

bool SameMac(const uint8_t* a, const uint8_t* b, size_t size) {
    uint8_t difference = 0;
    for (size_t i = 0; i < size; ++i) difference = static_cast<uint8_t>(difference | (a[i] ^ b[i]));
    return difference == 0;
}

}  // namespace kelvora
