// Helpers for the COM server's tests: the server's identifiers, a COM
// apartment per scope, the server module and test records.
#pragma once

#include <windows.h>

#include <objbase.h>

#include <cstring>
#include <string>

#include <zunserver/zunserver.h>

#include "ZunServer.h"
#include "platform/win32/com_ref.h"
#include "platform/win32/registry_key_owner.h"

namespace zun::testing {

inline const GUID kAppId = ZUN_APPID_ZUNSERVER_INITIALIZER;

// "{...}" in upper case, as the registry holds it.
inline std::string GuidText(REFGUID guid) {
    wchar_t wide[39] = {};
    StringFromGUID2(guid, wide, 39);
    return std::string(wide, wide + 38);
}

class ComApartment {
public:
    explicit ComApartment(DWORD model) : _result(CoInitializeEx(nullptr, model)) {}
    ~ComApartment() {
        if (SUCCEEDED(_result)) CoUninitialize();
    }
    HRESULT Result() const { return _result; }

private:
    HRESULT _result;
};

using platform::win32::ComRef;

// The server module loaded by this process, its COM exports called directly.
class ServerModule {
public:
    ServerModule() : _module(LoadLibraryA(ZUN_ENGINE_PATH)) {}
    ~ServerModule() {
        if (_module != nullptr) FreeLibrary(_module);
    }
    ServerModule(const ServerModule&) = delete;
    ServerModule& operator=(const ServerModule&) = delete;

    HRESULT GetClassObject(REFCLSID clsid, REFIID riid, void** object) const {
        auto* get = reinterpret_cast<HRESULT(WINAPI*)(REFCLSID, REFIID, void**)>(Export("DllGetClassObject"));
        return get == nullptr ? E_FAIL : get(clsid, riid, object);
    }
    HRESULT CanUnloadNow() const {
        auto* canUnload = reinterpret_cast<HRESULT(WINAPI*)()>(Export("DllCanUnloadNow"));
        return canUnload == nullptr ? E_FAIL : canUnload();
    }
    HRESULT CreateZunNV(IZunNV** object) const {
        ComRef<IClassFactory> factory;
        const HRESULT hr = GetClassObject(CLSID_ZunNV, IID_IClassFactory, factory.OutVoid());
        if (FAILED(hr)) return hr;
        return factory->CreateInstance(nullptr, IID_IZunNV, reinterpret_cast<void**>(object));
    }

private:
    void* Export(const char* name) const {
        return _module == nullptr ? nullptr : reinterpret_cast<void*>(GetProcAddress(_module, name));
    }

    HMODULE _module;
};

// A record that passes the size check with a call type that no build serves,
// and a stale update path that every accepted call clears.
inline GatewayRecord UnservedRecord() {
    GatewayRecord record;
    std::memset(&record, 0, sizeof record);
    record.size = sizeof record;
    record.callType = 11;
    std::strcpy(record.updateFilePath, "stale");
    return record;
}

inline unsigned char* AsBytes(GatewayRecord& record) { return reinterpret_cast<unsigned char*>(&record); }

}  // namespace zun::testing
