// The DLL's COM exports. Each asks the interface's proxy and stub part (the
// generated Prx... functions) and the COM module object, in that order.
#include <windows.h>

#include "base/boundary.h"
#include "base/trace.h"
#include "gateway/com/com_module.h"
#include "gateway/com/stub_guard.h"

extern "C" {
BOOL WINAPI PrxDllMain(HINSTANCE instance, DWORD reason, LPVOID reserved);
HRESULT WINAPI PrxDllGetClassObject(REFCLSID clsid, REFIID riid, void** object);
HRESULT WINAPI PrxDllCanUnloadNow();
HRESULT WINAPI PrxDllRegisterServer();
HRESULT WINAPI PrxDllUnregisterServer();
}

using zun::com::TheComModule;

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    try {
        ZUN_TRACE("ZUN: Prolog DllMain()");
        if (!PrxDllMain(instance, reason, reserved)) return FALSE;
        ZUN_TRACE("ZUN: Epilog DllMain()");
        return TheComModule().DllMain(instance, reason);
    }
    ZUN_CATCH_RETURN_VALUE(FALSE)
}

extern "C" HRESULT WINAPI DllGetClassObject(REFCLSID clsid, REFIID riid, void** object) {
    try {
        if (object == nullptr) return E_POINTER;
        IPSFactoryBuffer* proxyStubFactory = nullptr;
        if (PrxDllGetClassObject(clsid, IID_IPSFactoryBuffer, reinterpret_cast<void**>(&proxyStubFactory)) == S_OK) {
            return zun::com::GuardProxyStubFactory(proxyStubFactory, riid, object);
        }
        return TheComModule().GetClassObject(clsid, riid, object);
    }
    ZUN_CATCH_RETURN()
}

extern "C" HRESULT WINAPI DllCanUnloadNow() {
    try {
        ZUN_TRACE("ZUN: Prolog DllCanUnloadNow()");
        // A live proxy or stub runs code of this module too, so anything but a
        // plain S_OK from the proxy part keeps the module loaded.
        const HRESULT proxies = PrxDllCanUnloadNow();
        if (proxies != S_OK) return proxies;
        const HRESULT answer = TheComModule().CanUnloadNow();
        ZUN_TRACE("ZUN: _AtlModule.DllCanUnloadNow() returns %u", static_cast<unsigned>(answer));
        ZUN_TRACE("ZUN: Epilog DllCanUnloadNow()");
        return answer;
    }
    ZUN_CATCH_RETURN()
}

extern "C" HRESULT WINAPI DllRegisterServer() {
    try {
        ZUN_TRACE("ZUN: Prolog DllRegisterServer");
        HRESULT hr = TheComModule().RegisterServer();
        ZUN_TRACE("ZUN: _AtlModule.DllRegisterServer() returns %u", static_cast<unsigned>(hr));
        if (FAILED(hr)) return hr;
        // After the type library, which registers the interface for the
        // automation marshaler: the module's own proxy takes its place.
        hr = PrxDllRegisterServer();
        ZUN_TRACE("ZUN: Epilog DllRegisterServer");
        return hr;
    }
    ZUN_CATCH_RETURN()
}

extern "C" HRESULT WINAPI DllUnregisterServer() {
    try {
        ZUN_TRACE("ZUN: Prolog DllUnregisterServer");
        HRESULT hr = TheComModule().UnregisterServer();
        ZUN_TRACE("ZUN: _AtlModule.DllUnregisterServer() returns %u", static_cast<unsigned>(hr));
        if (FAILED(hr)) return hr;
        // Registering the proxy once more first makes its removal succeed even
        // when part of it was already gone.
        hr = PrxDllRegisterServer();
        if (SUCCEEDED(hr)) hr = PrxDllUnregisterServer();
        ZUN_TRACE("ZUN: Epilog DllUnregisterServer");
        return hr;
    }
    ZUN_CATCH_RETURN()
}
