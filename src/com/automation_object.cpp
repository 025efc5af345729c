// The COM object part: identity, the one reference count of a station, its
// interface lookup, aggregation and the empty automation interface.
#include "com/automation_object.h"

#include "com/library_lock.h"

namespace kelvora {

AutomationObject::AutomationObject(IUnknown* outer, const char* className)
    : outer_(outer), className_(className), inner_(*this) {}

HRESULT STDMETHODCALLTYPE AutomationObject::QueryInterface(REFIID iid, void** object) {
    if (outer_ != nullptr) return outer_->QueryInterface(iid, object);
    return InternalQueryInterface(iid, object);
}

ULONG STDMETHODCALLTYPE AutomationObject::AddRef() {
    if (outer_ != nullptr) return outer_->AddRef();
    return InternalAddRef();
}

ULONG STDMETHODCALLTYPE AutomationObject::Release() {
    if (outer_ != nullptr) return outer_->Release();
    return InternalRelease();
}

HRESULT AutomationObject::InternalQueryInterface(REFIID iid, void** object) {
    if (object == nullptr) return E_POINTER;
    void* found = nullptr;
    if (IsEqualGUID(iid, IID_IUnknown) || IsEqualGUID(iid, IID_IDispatch)) {
        found = static_cast<IDispatch*>(this);
    } else {
        found = FindClassInterface(iid);
    }
    *object = found;
    if (found == nullptr) return E_NOINTERFACE;
    // Whatever interface was handed out, the count is the object's one count
    // (or the outer object's, when aggregated).
    AddRef();
    return S_OK;
}

ULONG AutomationObject::InternalAddRef() { return ++references_; }

ULONG AutomationObject::InternalRelease() {
    if (references_ == 0) return 0;  // a release too many must not wrap the count
    const ULONG left = --references_;
    if (left == 0) OnFinalRelease();
    return left;
}

void AutomationObject::OnFinalRelease() {
    // Held at 1 while the parts go, so that nothing they do can reach zero again.
    references_ = 1;
    UnlockLibrary();
    delete this;
}

HRESULT STDMETHODCALLTYPE AutomationObject::NonDelegatingUnknown::QueryInterface(REFIID iid, void** object) {
    // Towards the outer object the inner unknown is the identity.
    if (object != nullptr && IsEqualGUID(iid, IID_IUnknown)) {
        *object = this;
        AddRef();
        return S_OK;
    }
    return owner_.InternalQueryInterface(iid, object);
}

HRESULT STDMETHODCALLTYPE AutomationObject::GetTypeInfoCount(UINT* count) {
    if (count == nullptr) return E_POINTER;
    *count = 0;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE AutomationObject::GetTypeInfo(UINT /*index*/, LCID /*locale*/, ITypeInfo** info) {
    if (info != nullptr) *info = nullptr;
    return DISP_E_BADINDEX;
}

HRESULT STDMETHODCALLTYPE AutomationObject::GetIDsOfNames(REFIID iid, LPOLESTR* /*names*/, UINT count,
                                                          LCID /*locale*/, DISPID* ids) {
    if (!IsEqualGUID(iid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
    if (ids != nullptr) {
        for (UINT i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
    }
    return DISP_E_UNKNOWNNAME;
}

HRESULT STDMETHODCALLTYPE AutomationObject::Invoke(DISPID /*member*/, REFIID iid, LCID /*locale*/, WORD /*flags*/,
                                                   DISPPARAMS* /*params*/, VARIANT* /*result*/,
                                                   EXCEPINFO* /*exception*/, UINT* /*argumentError*/) {
    if (!IsEqualGUID(iid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
    return DISP_E_MEMBERNOTFOUND;
}

}  // namespace kelvora
