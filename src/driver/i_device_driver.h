// IDeviceDriver: the host's table of twelve operations on a station, binary
// compatible with a COM vtable (stdcall in the Win32 build). No virtual
// destructor here: it would take slots the host does not expect.
#pragma once

#include <cstdint>

#include "driver/host_records.h"
#include "platform/com_types.h"

namespace kelvora {

// {71734A75-77FE-41E1-A157-82EE7C498D3E}
constexpr IID IID_IDeviceDriver = {0x71734A75, 0x77FE, 0x41E1, {0xA1, 0x57, 0x82, 0xEE, 0x7C, 0x49, 0x8D, 0x3E}};

struct IDeviceDriver {
    virtual HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) = 0;           // 0
    virtual ULONG STDMETHODCALLTYPE AddRef() = 0;                                             // 1
    virtual ULONG STDMETHODCALLTYPE Release() = 0;                                            // 2
    virtual int32_t STDMETHODCALLTYPE Reserved(int32_t unused) = 0;                           // 3
    virtual int32_t STDMETHODCALLTYPE Open(PortConfig* config) = 0;                           // 4
    virtual int32_t STDMETHODCALLTYPE GetRegisterList(RegisterInfo** list, uint16_t* count) = 0;  // 5
    virtual int32_t STDMETHODCALLTYPE ParseAddress(const char* text, RegisterRequest* request) = 0;  // 6
    virtual int32_t STDMETHODCALLTYPE ParseDeviceAddress(const char* text, int32_t* number) = 0;  // 7
    virtual int32_t STDMETHODCALLTYPE Read(int32_t* deviceAddress, RegisterRequest* request,
                                           RegisterValue* value) = 0;                         // 8
    virtual int32_t STDMETHODCALLTYPE Write(int32_t* deviceAddress, RegisterRequest* request,
                                            RegisterValue* value) = 0;                        // 9
    virtual int32_t STDMETHODCALLTYPE Close(int32_t unused) = 0;                              // 10
    virtual const char* STDMETHODCALLTYPE GetStatusText() = 0;                                // 11

protected:
    ~IDeviceDriver() = default;
};

}  // namespace kelvora
