// The ANSI code page on POSIX: GBK (the Windows code page 936 that the
// status texts use) through iconv. Descriptors are opened once per thread.
#include "platform/code_page.h"

#include <iconv.h>

#include <cerrno>
#include <vector>

namespace kelvora {
namespace {

class Converter {
public:
    Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    ~Converter() {
        if (ok()) iconv_close(cd_);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
    iconv_t get() {
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);  // back to the initial state
        return cd_;
    }

private:
    iconv_t cd_;
};

Converter& GbkToUtf16() {
    thread_local Converter converter("UTF-16LE", "GBK");
    return converter;
}

Converter& Utf16ToGbk() {
    thread_local Converter converter("GBK", "UTF-16LE");
    return converter;
}

}  // namespace

int AnsiToUtf16(const char* text, size_t byteCount, uint16_t* units, size_t capacity) {
    if (byteCount == 0) return 0;
    Converter& converter = GbkToUtf16();
    if (!converter.ok()) return -1;
    std::vector<char> out(capacity * 2);
    char* in = const_cast<char*>(text);
    size_t inLeft = byteCount;
    char* outPtr = out.data();
    size_t outLeft = out.size();
    if (iconv(converter.get(), &in, &inLeft, &outPtr, &outLeft) == static_cast<size_t>(-1)) {
        return -1;  // invalid or incomplete sequence, or no room
    }
    const size_t count = (out.size() - outLeft) / 2;
    for (size_t i = 0; i < count; ++i) {
        units[i] = static_cast<uint16_t>(static_cast<unsigned char>(out[2 * i]) |
                                         (static_cast<unsigned char>(out[2 * i + 1]) << 8));
    }
    return static_cast<int>(count);
}

int Utf16ToAnsi(const uint16_t* units, size_t count, char* text, size_t capacity) {
    if (count == 0) return 0;
    Converter& converter = Utf16ToGbk();
    if (!converter.ok()) return -1;
    std::vector<char> in(count * 2);
    for (size_t i = 0; i < count; ++i) {
        in[2 * i] = static_cast<char>(units[i] & 0xFF);
        in[2 * i + 1] = static_cast<char>(units[i] >> 8);
    }
    iconv_t cd = converter.get();
    char* inPtr = in.data();
    size_t inLeft = in.size();
    char* outPtr = text;
    size_t outLeft = capacity;
    while (inLeft > 0) {
        if (iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) != static_cast<size_t>(-1)) break;
        if (errno == E2BIG) return -1;
        // A character GBK lacks (or a broken surrogate): the default character.
        if (outLeft == 0) return -1;
        *outPtr++ = '?';
        --outLeft;
        auto unitAt = [&](size_t i) {
            return static_cast<uint16_t>(static_cast<unsigned char>(inPtr[i]) |
                                         (static_cast<unsigned char>(inPtr[i + 1]) << 8));
        };
        // A whole pair is one character; a high surrogate alone is one unit,
        // and the character after it is still converted.
        const uint16_t unit = unitAt(0);
        const bool pair = unit >= 0xD800 && unit <= 0xDBFF && inLeft >= 4 && unitAt(2) >= 0xDC00 &&
                          unitAt(2) <= 0xDFFF;
        const size_t skip = pair ? 4 : 2;
        inPtr += skip;
        inLeft -= skip;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    return static_cast<int>(capacity - outLeft);
}

}  // namespace kelvora
