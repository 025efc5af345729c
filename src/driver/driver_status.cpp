// DriverStatus: the status code and its fixed table of texts. The texts are
// the GBK (code page 936) bytes the host displays, kept as escaped bytes so
// that no source encoding can alter them.
#include "driver/driver_status.h"

namespace kelvora {

namespace {

constexpr uint32_t kCodeCount = 10;

const char* const kStatusTexts[kCodeCount] = {
    "OK",
    // "初始化设备错误!" device initialisation failed
    "\xb3\xf5\xca\xbc\xbb\xaf\xc9\xe8\xb1\xb8\xb4\xed\xce\xf3\x21",
    // "错误的设备地址!" wrong device address
    "\xb4\xed\xce\xf3\xb5\xc4\xc9\xe8\xb1\xb8\xb5\xd8\xd6\xb7\x21",
    // "不支持该寄存器!" register not supported
    "\xb2\xbb\xd6\xa7\xb3\xd6\xb8\xc3\xbc\xc4\xb4\xe6\xc6\xf7\x21",
    // "错误的数据类型!" wrong data type
    "\xb4\xed\xce\xf3\xb5\xc4\xca\xfd\xbe\xdd\xc0\xe0\xd0\xcd\x21",
    // "读设备错误!" device read error
    "\xb6\xc1\xc9\xe8\xb1\xb8\xb4\xed\xce\xf3\x21",
    // "写设备错误!" device write error
    "\xd0\xb4\xc9\xe8\xb1\xb8\xb4\xed\xce\xf3\x21",
    // "设备超时不响应!" device timed out
    "\xc9\xe8\xb1\xb8\xb3\xac\xca\xb1\xb2\xbb\xcf\xec\xd3\xa6\x21",
    // "未知错误!" unknown error
    "\xce\xb4\xd6\xaa\xb4\xed\xce\xf3\x21",
    // "用自定义错误" custom error: never shown, the custom text stands in
    "\xd3\xc3\xd7\xd4\xb6\xa8\xd2\xe5\xb4\xed\xce\xf3",
};

}  // namespace

const char* StatusMeaning(uint32_t code) {
    static const char* const kMeanings[kCodeCount] = {
        "OK", "port cannot be opened or set up", "wrong device address", "register not supported",
        "wrong data type", "read error", "write error", "timed out", "unknown error", "custom error",
    };
    return code < kCodeCount ? kMeanings[code] : "no such status";
}

int DriverStatus::SetCode(uint32_t code) {
    // 9 belongs to the custom text, which nothing sets; above 9 there is no text.
    if (code >= kStatusCustom) return 0;
    code_ = code;
    return 1;
}

const char* DriverStatus::Text(bool reset) {
    const char* text = code_ == kStatusCustom ? customText_.c_str()
                       : code_ < kCodeCount  ? kStatusTexts[code_]
                                             : kStatusTexts[kStatusUnknown];
    if (reset) code_ = kStatusOk;
    return text;
}

}  // namespace kelvora
