// The platform-free part of the UTF-8 codec (see utf8_text.h).
#include "platform/utf8_text.h"

namespace kelvora {

std::u16string PairedSurrogatesOnly(const std::u16string& utf16) {
    std::u16string out = utf16;
    for (size_t i = 0; i < out.size(); ++i) {
        const bool high = out[i] >= 0xD800 && out[i] <= 0xDBFF;
        const bool low = out[i] >= 0xDC00 && out[i] <= 0xDFFF;
        if (high && i + 1 < out.size() && out[i + 1] >= 0xDC00 && out[i + 1] <= 0xDFFF) {
            ++i;
        } else if (high || low) {
            out[i] = 0xFFFD;
        }
    }
    return out;
}

}  // namespace kelvora
