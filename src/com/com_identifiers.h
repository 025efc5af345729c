// The identifiers of the library's COM classes, dispinterfaces and type
// library, each written once as text (what the registry, the IDL, the
// installer and the tools' facts show) and read into its GUID at compile
// time. The IDeviceDriver identifier lives with the interface itself.
#pragma once

#include <cstdint>

#include "platform/com_types.h"

namespace kelvora {

// The texts: capital hexadecimal digits, with braces.
constexpr char kLibidKelvoraText[] = "{44447898-9331-4080-9984-34387D82CD6F}";     // type library Kelvora
constexpr char kClsidSMSClientText[] = "{1BEE75CD-8489-46CA-ACCB-CD5C99BF2236}";   // CSMSClient, coclass SMSClient
constexpr char kClsidSMSServerText[] = "{FC8E277B-9E37-4DF6-B72A-4541D8101E0E}";   // CSMSServer, coclass SMSServer
constexpr char kIidISMSClientText[] = "{450EADD3-0CC2-4E38-88AB-827D5D026596}";    // dispinterface ISMSClient
constexpr char kIidISMSServerText[] = "{C78343A7-C966-4904-B830-36229996D5AA}";    // dispinterface ISMSServer

namespace guid_text {
// The value of digits hexadecimal digits from text + at; a character that is
// not a capital hexadecimal digit stops the compilation.
constexpr uint32_t Hex(const char* text, int at, int digits) {
    uint32_t value = 0;
    for (int i = at; i < at + digits; ++i) {
        const char c = text[i];
        const uint32_t digit = c >= '0' && c <= '9'   ? static_cast<uint32_t>(c - '0')
                               : c >= 'A' && c <= 'F' ? static_cast<uint32_t>(c - 'A' + 10)
                                                      : throw "not a capital hexadecimal digit";
        value = value * 16 + digit;
    }
    return value;
}
constexpr uint8_t Byte(const char* text, int at) { return static_cast<uint8_t>(Hex(text, at, 2)); }
}  // namespace guid_text

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" as a GUID.
template <size_t N>
constexpr GUID GuidOfText(const char (&t)[N]) {
    static_assert(N == 39, "a GUID's text has 38 characters");
    using guid_text::Byte;
    return GUID{guid_text::Hex(t, 1, 8),
                static_cast<uint16_t>(guid_text::Hex(t, 10, 4)),
                static_cast<uint16_t>(guid_text::Hex(t, 15, 4)),
                {Byte(t, 20), Byte(t, 22), Byte(t, 25), Byte(t, 27), Byte(t, 29), Byte(t, 31), Byte(t, 33), Byte(t, 35)}};
}

constexpr GUID LIBID_Kelvora = GuidOfText(kLibidKelvoraText);
constexpr CLSID CLSID_SMSClient = GuidOfText(kClsidSMSClientText);
constexpr CLSID CLSID_SMSServer = GuidOfText(kClsidSMSServerText);
constexpr IID IID_ISMSClient = GuidOfText(kIidISMSClientText);
constexpr IID IID_ISMSServer = GuidOfText(kIidISMSServerText);

}  // namespace kelvora
