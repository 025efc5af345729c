// UTF-8 on POSIX: iconv.
#include <iconv.h>

#include <vector>

#include "platform/utf8_text.h"

namespace kelvora {
namespace {

// Converts all of in, or fails.
bool Convert(const char* to, const char* from, const char* in, size_t inBytes, std::vector<char>* out) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) return false;
    out->assign(inBytes * 4 + 4, '\0');
    char* inPtr = const_cast<char*>(in);
    size_t inLeft = inBytes;
    char* outPtr = out->data();
    size_t outLeft = out->size();
    const bool ok = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) != static_cast<size_t>(-1) && inLeft == 0;
    iconv_close(cd);
    out->resize(out->size() - outLeft);
    return ok;
}

}  // namespace

bool Utf8ToUtf16(const std::string& utf8, std::u16string* utf16) {
    utf16->clear();
    std::vector<char> bytes;
    if (!Convert("UTF-16LE", "UTF-8", utf8.data(), utf8.size(), &bytes)) return false;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        utf16->push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                               (static_cast<unsigned char>(bytes[i + 1]) << 8)));
    }
    return true;
}

std::string Utf16ToUtf8(const std::u16string& utf16) {
    const std::u16string paired = PairedSurrogatesOnly(utf16);
    std::vector<char> in;
    for (char16_t unit : paired) {
        in.push_back(static_cast<char>(unit & 0xFF));
        in.push_back(static_cast<char>(unit >> 8));
    }
    std::vector<char> out;
    if (!Convert("UTF-8", "UTF-16LE", in.data(), in.size(), &out)) return std::string();
    return std::string(out.begin(), out.end());
}

}  // namespace kelvora
