// ClassFactory: the one generic class object, serving one StationClass. The
// library's class objects live as long as the library; their own references
// are not counted (the lock count holds the stations and the server locks).
#pragma once

#include <cstddef>

#include "com/station_class.h"

namespace kelvora {

class ClassFactory final : public IClassFactory {
public:
    explicit constexpr ClassFactory(const StationClass& stationClass) : stationClass_(stationClass) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** object) override;
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override;

    const StationClass& stationClass() const { return stationClass_; }

private:
    const StationClass& stationClass_;
};

// DllGetClassObject: the class object of clsid through iid, or
// CLASS_E_CLASSNOTAVAILABLE. classes/count default to the library's table.
HRESULT GetClassObject(REFCLSID clsid, REFIID iid, void** object);
HRESULT GetClassObjectOf(ClassFactory* factories, size_t count, REFCLSID clsid, REFIID iid, void** object);

// DllCanUnloadNow: S_OK when no station lives and no server lock is held.
HRESULT CanUnloadNow();

}  // namespace kelvora
