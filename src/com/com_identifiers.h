// The identifiers of the library's COM classes, dispinterfaces and type
// library. The IDeviceDriver identifier lives with the interface itself.
#pragma once

#include "platform/com_types.h"

namespace kelvora {

// Type library Kelvora {44447898-9331-4080-9984-34387D82CD6F}
constexpr GUID LIBID_Kelvora = {0x44447898, 0x9331, 0x4080, {0x99, 0x84, 0x34, 0x38, 0x7D, 0x82, 0xCD, 0x6F}};
// CSMSClient, coclass SMSClient {1BEE75CD-8489-46CA-ACCB-CD5C99BF2236}
constexpr CLSID CLSID_SMSClient = {0x1BEE75CD, 0x8489, 0x46CA, {0xAC, 0xCB, 0xCD, 0x5C, 0x99, 0xBF, 0x22, 0x36}};
// CSMSServer, coclass SMSServer {FC8E277B-9E37-4DF6-B72A-4541D8101E0E}
constexpr CLSID CLSID_SMSServer = {0xFC8E277B, 0x9E37, 0x4DF6, {0xB7, 0x2A, 0x45, 0x41, 0xD8, 0x10, 0x1E, 0x0E}};
// dispinterface ISMSClient {450EADD3-0CC2-4E38-88AB-827D5D026596}
constexpr IID IID_ISMSClient = {0x450EADD3, 0x0CC2, 0x4E38, {0x88, 0xAB, 0x82, 0x7D, 0x5D, 0x02, 0x65, 0x96}};
// dispinterface ISMSServer {C78343A7-C966-4904-B830-36229996D5AA}
constexpr IID IID_ISMSServer = {0xC78343A7, 0xC966, 0x4904, {0xB8, 0x30, 0x36, 0x22, 0x99, 0x96, 0xD5, 0xAA}};

}  // namespace kelvora
