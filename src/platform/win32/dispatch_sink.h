// An event sink object: IDispatch for one dispatch event interface, counted,
// with the events handled by Invoke in the derived class.
#pragma once

#include <windows.h>

#include <oaidl.h>

#include "platform/win32/counted_object.h"

namespace zun::platform::win32 {

class DispatchSink : public CountedObject<IDispatch> {
public:
    explicit DispatchSink(REFIID events) : _events(events) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (out == nullptr) return E_POINTER;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) || IsEqualIID(iid, _events)) {
            *out = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }

private:
    IID _events;
};

}  // namespace zun::platform::win32
