// RemoteStation: the driver object of a site's station: 1001 registers for the
// site's host, write commands from the central station applied, and reports
// of the groups the host reads sent back while COMFLAG is set.
#pragma once

#include "driver/driver_base.h"

namespace kelvora {

class RemoteStation : public DriverBase {
public:
    RemoteStation();
    ~RemoteStation() override;

    int32_t STDMETHODCALLTYPE Read(int32_t* deviceAddress, RegisterRequest* request, RegisterValue* value) override;
    int32_t STDMETHODCALLTYPE Write(int32_t* deviceAddress, RegisterRequest* request, RegisterValue* value) override;
};

}  // namespace kelvora
