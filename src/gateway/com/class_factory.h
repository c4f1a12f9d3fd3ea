// A class factory for one COM class. The class provides
//   static HRESULT CreateInstance(REFIID riid, void** object);
// Every reference to the factory holds a module lock, like LockServer(TRUE),
// so a client that keeps the factory keeps the module loaded.
#pragma once

#include <windows.h>

#include <unknwn.h>

#include "base/boundary.h"
#include "gateway/com/module_lock.h"

namespace zun::com {

template <class Class>
class ClassFactory final : public IClassFactory {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        if (object == nullptr) return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IClassFactory)) {
            *object = static_cast<IClassFactory*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }

    // The factory is a static object: its references only lock the module.
    ULONG STDMETHODCALLTYPE AddRef() override {
        LockModule();
        return 2;
    }

    ULONG STDMETHODCALLTYPE Release() override {
        UnlockModule();
        return 1;
    }

    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** object) override {
        if (object == nullptr) return E_POINTER;
        *object = nullptr;
        if (outer != nullptr) return CLASS_E_NOAGGREGATION;
        try {
            return Class::CreateInstance(riid, object);
        }
        ZUN_CATCH_RETURN()
    }

    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
        if (lock) {
            LockModule();
        } else {
            UnlockModule();
        }
        return S_OK;
    }
};

}  // namespace zun::com
