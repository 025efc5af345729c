// AutomationObject: the COM object part of a station object. It begins the
// object with the automation (IDispatch) interface, whose IUnknown operations
// are the external ones: they go to the controlling outer object when the
// station is aggregated, else to the station's own count and lookup. A
// separate inner (non-delegating) IUnknown is what an outer object holds.
#pragma once

#include "platform/com_types.h"

namespace kelvora {

class AutomationObject : public IDispatch {
public:
    AutomationObject(const AutomationObject&) = delete;
    AutomationObject& operator=(const AutomationObject&) = delete;

    // External IUnknown (aggregation-aware).
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    // IDispatch without type information and without members.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale,
                                            DISPID* ids) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID member, REFIID iid, LCID locale, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO* exception, UINT* argumentError) override;

    // The object's own count and lookup: IUnknown, IDispatch, then the class's
    // list of interfaces.
    HRESULT InternalQueryInterface(REFIID iid, void** object);
    ULONG InternalAddRef();
    ULONG InternalRelease();

    // What CreateInstance hands to an aggregating outer object.
    IUnknown* InnerUnknown() { return &inner_; }

    // The name under which the class describes itself ("CSMSClient", ...).
    const char* ClassName() const { return className_; }

protected:
    // The reference count starts at 1, held by the creator.
    AutomationObject(IUnknown* outer, const char* className);
    virtual ~AutomationObject() = default;

    // The class's interfaces beyond IUnknown and IDispatch, in the order of
    // its list; null when the class does not offer iid.
    virtual void* FindClassInterface(REFIID iid) = 0;

private:
    // Last reference gone: the library lock goes, then the object.
    void OnFinalRelease();

    class NonDelegatingUnknown final : public IUnknown {
    public:
        explicit NonDelegatingUnknown(AutomationObject& owner) : owner_(owner) {}
        HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
        ULONG STDMETHODCALLTYPE AddRef() override { return owner_.InternalAddRef(); }
        ULONG STDMETHODCALLTYPE Release() override { return owner_.InternalRelease(); }

    private:
        AutomationObject& owner_;
    };

    ULONG references_ = 1;
    IUnknown* outer_;
    const char* className_;
    NonDelegatingUnknown inner_;
};

}  // namespace kelvora
