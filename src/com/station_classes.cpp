// The table of the library's classes: identifiers, ProgIDs, run-time class
// names, dispinterfaces, and how each makes its station object.
#include "com/station_classes.h"

#include "com/com_identifiers.h"
#include "com/station_object.h"
#include "stations/central_station.h"
#include "stations/remote_station.h"

namespace kelvora {

namespace {

const StationClass kClasses[kStationClassCount] = {
    {&CLSID_SMSClient, "Kelvora.SMSClient", "CSMSClient", &IID_ISMSClient, &StationObject<CentralStation>::Create,
     &CreateSerialPort},
    {&CLSID_SMSServer, "Kelvora.SMSServer", "CSMSServer", &IID_ISMSServer, &StationObject<RemoteStation>::Create,
     &CreateSerialPort},
};

}  // namespace

const StationClass* StationClasses() { return kClasses; }

}  // namespace kelvora
