// StationClass: one creatable class of the library, as its class object and
// registration see it. The table of the library's classes lives in
// station_classes.cpp; one generic class object serves each entry.
#pragma once

#include <memory>

#include "platform/com_types.h"
#include "serial/serial_port.h"

namespace kelvora {

struct StationClass;

// Makes a station object of the class and hands out the interface iid of it.
using CreateStationFunction = HRESULT (*)(const StationClass& stationClass, IUnknown* outer, REFIID iid,
                                          void** object);
using CreatePortFunction = std::unique_ptr<SerialPort> (*)();

struct StationClass {
    const CLSID* clsid;
    const char* progId;          // "Kelvora.SMSClient"
    const char* className;       // "CSMSClient"
    const IID* dispatchIid;      // the class's own dispinterface
    CreateStationFunction create;
    CreatePortFunction createPort;  // the serial port each new station gets
};

}  // namespace kelvora
