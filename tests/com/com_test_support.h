// The COM server's tests and the Windows purchase test: a COM apartment per
// scope and the server module with its COM exports called directly.
#pragma once

#include <windows.h>

#include <objbase.h>

#include <zunserver/zunserver.h>

#include "ZunServer.h"
#include "platform/module_loader.h"
#include "platform/win32/com_ref.h"

namespace zun::testing {

using platform::win32::ComRef;

class ComApartment {
public:
    explicit ComApartment(DWORD model) : _result(CoInitializeEx(nullptr, model)) {}
    ~ComApartment() {
        if (SUCCEEDED(_result)) CoUninitialize();
    }

private:
    HRESULT _result;
};

class ServerModule {
public:
    HRESULT GetClassObject(REFCLSID clsid, REFIID riid, void** object) const {
        using Get = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);
        auto* get = reinterpret_cast<Get>(_module.FindExport("DllGetClassObject"));
        return get == nullptr ? E_FAIL : get(clsid, riid, object);
    }
    HRESULT CanUnloadNow() const {
        auto* canUnload = reinterpret_cast<HRESULT(WINAPI*)()>(_module.FindExport("DllCanUnloadNow"));
        return canUnload == nullptr ? E_FAIL : canUnload();
    }
    HRESULT CreateZunNV(IZunNV** object) const {
        ComRef<IClassFactory> factory;
        const HRESULT hr = GetClassObject(CLSID_ZunNV, IID_IClassFactory, factory.OutVoid());
        return FAILED(hr) ? hr : factory->CreateInstance(nullptr, IID_IZunNV, reinterpret_cast<void**>(object));
    }

private:
    const platform::LoadedModule _module{ZUN_ENGINE_PATH};
};

inline unsigned char* AsBytes(GatewayRecord& record) { return reinterpret_cast<unsigned char*>(&record); }

}  // namespace zun::testing
