// The generic class object, the library's two class objects and the answers
// of DllGetClassObject and DllCanUnloadNow.
#include "com/class_factory.h"

#include "com/library_lock.h"
#include "com/station_classes.h"

namespace kelvora {

HRESULT STDMETHODCALLTYPE ClassFactory::QueryInterface(REFIID iid, void** object) {
    if (object == nullptr) return E_POINTER;
    if (IsEqualGUID(iid, IID_IUnknown) || IsEqualGUID(iid, IID_IClassFactory)) {
        *object = static_cast<IClassFactory*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

// Class objects are static: counting their references would free nothing.
ULONG STDMETHODCALLTYPE ClassFactory::AddRef() { return 2; }
ULONG STDMETHODCALLTYPE ClassFactory::Release() { return 1; }

HRESULT STDMETHODCALLTYPE ClassFactory::CreateInstance(IUnknown* outer, REFIID iid, void** object) {
    return stationClass_.create(stationClass_, outer, iid, object);
}

HRESULT STDMETHODCALLTYPE ClassFactory::LockServer(BOOL lock) {
    if (lock) {
        LockLibrary();
    } else {
        UnlockLibrary();
    }
    return S_OK;
}

HRESULT GetClassObjectOf(ClassFactory* factories, size_t count, REFCLSID clsid, REFIID iid, void** object) {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    for (size_t i = 0; i < count; ++i) {
        if (IsEqualGUID(clsid, *factories[i].stationClass().clsid)) return factories[i].QueryInterface(iid, object);
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}

namespace {
// Made when the library is loaded, one per class, in the order of the table.
ClassFactory classObjects[kStationClassCount] = {ClassFactory(StationClasses()[0]),
                                                 ClassFactory(StationClasses()[1])};
}  // namespace

HRESULT GetClassObject(REFCLSID clsid, REFIID iid, void** object) {
    return GetClassObjectOf(classObjects, kStationClassCount, clsid, iid, object);
}

HRESULT CanUnloadNow() { return LibraryLockCount() == 0 ? S_OK : S_FALSE; }

}  // namespace kelvora
