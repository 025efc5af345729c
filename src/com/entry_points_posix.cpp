// The class-object entry points of the shared library (the catalogue
// functions come from the driver core). There is no registry here, so no
// registration entry point.
#include "com/class_factory.h"

extern "C" HRESULT DllGetClassObject(REFCLSID clsid, REFIID iid, void** object) {
    return kelvora::GetClassObject(clsid, iid, object);
}

extern "C" HRESULT DllCanUnloadNow() { return kelvora::CanUnloadNow(); }
