// DriverBase: construction and teardown, the forwarding of the identity
// operations to the enclosing station object, and the bookkeeping operations
// (register list, address parsing, status text). Opening, closing and the
// line exchanges live in port_opening.cpp and exchanges.cpp.
#include "driver/driver_base.h"

#include <cstring>
#include <string>

namespace kelvora {

namespace {

size_t BoundedLength(const char* text, size_t limit) {
    size_t n = 0;
    while (n < limit && text[n] != '\0') ++n;
    return n;
}

// The station object begins GetInterfaceOffset bytes before its driver
// object, with its external IUnknown.
IUnknown* StationOf(DriverBase* driver) {
    char* const self = reinterpret_cast<char*>(driver);
    return reinterpret_cast<IUnknown*>(self - driver->GetInterfaceOffset());
}

}  // namespace

DriverBase::DriverBase() : clock_(&SystemClock()) {}

DriverBase::~DriverBase() {
    // The port goes first: a station sharing the device must not lose it to
    // this one's teardown, and an open device is closed before the rest goes.
    ReleasePort();
    port.reset();
    registerInfos.clear();
}

HRESULT STDMETHODCALLTYPE DriverBase::QueryInterface(REFIID iid, void** object) {
    return StationOf(this)->QueryInterface(iid, object);
}

ULONG STDMETHODCALLTYPE DriverBase::AddRef() { return StationOf(this)->AddRef(); }

ULONG STDMETHODCALLTYPE DriverBase::Release() { return StationOf(this)->Release(); }

int32_t STDMETHODCALLTYPE DriverBase::Reserved(int32_t /*unused*/) { return 1; }

int32_t STDMETHODCALLTYPE DriverBase::GetRegisterList(RegisterInfo** list, uint16_t* count) {
    const uint16_t n = static_cast<uint16_t>(registerInfos.size());
    if (list != nullptr) *list = registerInfos.empty() ? nullptr : registerInfos.data();
    if (count != nullptr) *count = n;
    return n;
}

int32_t STDMETHODCALLTYPE DriverBase::ParseAddress(const char* text, RegisterRequest* request) {
    const int32_t result = registerTable.ParseAddress(text, request) != 0 ? 1 : 0;
    status.SetCode(result == 1 ? kStatusOk : kStatusBadRegister);
    if (trace.on()) TraceParse("parse address", text, status.Code());
    return result;
}

int32_t STDMETHODCALLTYPE DriverBase::ParseDeviceAddress(const char* text, int32_t* number) {
    const int32_t result = registerTable.ParseDeviceAddress(text, number) != 0 ? 1 : 0;
    status.SetCode(result == 1 ? kStatusOk : kStatusBadDeviceAddress);
    if (trace.on()) TraceParse("parse device address", text, status.Code());
    return result;
}

void DriverBase::TraceParse(const char* what, const char* text, uint32_t code) const {
    // A host's text need not end where it should: at most 64 bytes of it.
    const std::string shown = text != nullptr ? Printable(text, BoundedLength(text, 64)) : "(none)";
    trace.Emit(std::string(what) + " " + shown + ": status " + std::to_string(code) + " (" + StatusMeaning(code) + ")");
}

int32_t STDMETHODCALLTYPE DriverBase::Read(int32_t* /*deviceAddress*/, RegisterRequest* /*request*/,
                                           RegisterValue* /*value*/) {
    return 1;
}

int32_t STDMETHODCALLTYPE DriverBase::Write(int32_t* /*deviceAddress*/, RegisterRequest* /*request*/,
                                            RegisterValue* /*value*/) {
    return 1;
}

const char* STDMETHODCALLTYPE DriverBase::GetStatusText() { return status.Text(true); }

int DriverBase::AddRegisterType(const char* name, int32_t dataTypeMask, int32_t accessCode) {
    // Checked before the table takes it, so that the table and the host's
    // list stay parallel.
    if (name == nullptr) return 0;
    size_t length = 0;
    while (length <= kMaxRegisterTypeName && name[length] != '\0') ++length;
    if (length > kMaxRegisterTypeName) return 0;
    if (registerTable.AddType(name, dataTypeMask, accessCode) == 0) return 0;

    RegisterInfo info;
    std::memset(&info, 0, sizeof info);
    std::memcpy(info.name, name, length);
    info.zero = 0;
    info.limit = 255;
    info.accessCode = accessCode;
    info.dataTypeMask = dataTypeMask;
    info.dataTypeMask2 = dataTypeMask;
    registerInfos.push_back(info);
    return 1;
}

}  // namespace kelvora
