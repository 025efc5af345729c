// CentralStation: the driver object of the central station, serving up to 32
// sites through one GSM modem. Writes go to the central image and out to the
// site as write commands; reads answer from the image, refreshed from the
// reports found when a group's poll time has run out.
#pragma once

#include "driver/driver_base.h"

namespace kelvora {

class CentralStation : public DriverBase {
public:
    CentralStation();
    ~CentralStation() override;

    int32_t STDMETHODCALLTYPE Read(int32_t* deviceAddress, RegisterRequest* request, RegisterValue* value) override;
    int32_t STDMETHODCALLTYPE Write(int32_t* deviceAddress, RegisterRequest* request, RegisterValue* value) override;
};

}  // namespace kelvora
