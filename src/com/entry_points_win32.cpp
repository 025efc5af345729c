// The COM entry points of Kelvora.dll (the export table names them through
// kelvora.def). No exception leaves the library.
#include <olectl.h>

#include "com/class_factory.h"
#include "com/registry_writer.h"

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, LPVOID* object) {
    return kelvora::GetClassObject(clsid, iid, object);
}

STDAPI DllCanUnloadNow() { return kelvora::CanUnloadNow(); }

// Registration is best effort: a registry write that fails is skipped and the
// answer stays S_OK.
STDAPI DllRegisterServer() {
    try {
        kelvora::RegisterStationClasses();
    } catch (...) {
    }
    return S_OK;
}
