#include "gateway/com/com_module.h"

#include "ZunServer.h"
#include "base/trace.h"
#include "gateway/com/class_factory.h"
#include "gateway/com/module_lock.h"
#include "gateway/com/server_registry.h"
#include "gateway/com/zunnv.h"
#include "platform/win32/request_workers.h"

namespace zun::com {
namespace {

ClassFactory<ZunNV> zunNVFactory;

}  // namespace

ComModule& TheComModule() {
    static ComModule module;
    return module;
}

BOOL ComModule::DllMain(HINSTANCE instance, DWORD reason) {
    if (reason == DLL_PROCESS_ATTACH) _instance = instance;
    return TRUE;
}

HRESULT ComModule::GetClassObject(REFCLSID clsid, REFIID riid, void** object) {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (!IsEqualCLSID(clsid, CLSID_ZunNV)) return CLASS_E_CLASSNOTAVAILABLE;
    return zunNVFactory.QueryInterface(riid, object);
}

HRESULT ComModule::CanUnloadNow() {
    // A request worker left behind by an aborted transfer runs this
    // module's code until its blocked call returns.
    return ModuleIsLocked() || platform::inet::RequestWorkersRunning() ? S_FALSE : S_OK;
}

HRESULT ComModule::ModulePath(wchar_t (&path)[MAX_PATH]) {
    const DWORD length = GetModuleFileNameW(_instance, path, MAX_PATH);
    if (length == 0) return HRESULT_FROM_WIN32(GetLastError());
    if (length >= MAX_PATH) return HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
    return S_OK;
}

HRESULT ComModule::LoadTypeLibrary(platform::win32::ComRef<ITypeLib>& library) {
    library.Reset();
    wchar_t path[MAX_PATH];
    HRESULT hr = ModulePath(path);
    if (SUCCEEDED(hr)) hr = LoadTypeLibEx(path, REGKIND_NONE, library.Out());
    if (FAILED(hr))
        ZUN_TRACE("ZUN_E: ComModule::LoadTypeLibrary(): LoadTypeLibEx(): Failure %u", static_cast<unsigned>(hr));
    return hr;
}

HRESULT ComModule::RegisterServer() {
    HRESULT hr = RegisterServerKeys();
    if (FAILED(hr)) return hr;
    platform::win32::ComRef<ITypeLib> library;
    hr = LoadTypeLibrary(library);
    if (FAILED(hr)) return hr;
    wchar_t path[MAX_PATH];
    hr = ModulePath(path);
    if (SUCCEEDED(hr)) hr = RegisterTypeLib(library.Get(), path, nullptr);
    if (FAILED(hr))
        ZUN_TRACE("ZUN_E: ComModule::RegisterServer(): RegisterTypeLib(): Failure %u", static_cast<unsigned>(hr));
    return hr;
}

HRESULT ComModule::UnregisterServer() {
    HRESULT hr = UnregisterServerKeys();
    if (FAILED(hr)) return hr;
    platform::win32::ComRef<ITypeLib> library;
    hr = LoadTypeLibrary(library);
    if (FAILED(hr)) return hr;
    TLIBATTR* attributes = nullptr;
    hr = library->GetLibAttr(&attributes);
    if (SUCCEEDED(hr)) {
        // A type library that is not registered (any more) is what was asked
        // for; systems differ in the error they give for it.
        BSTR registeredPath = nullptr;
        if (SUCCEEDED(QueryPathOfRegTypeLib(attributes->guid, attributes->wMajorVerNum, attributes->wMinorVerNum,
                                            attributes->lcid, &registeredPath))) {
            SysFreeString(registeredPath);
            hr = UnRegisterTypeLib(attributes->guid, attributes->wMajorVerNum, attributes->wMinorVerNum,
                                   attributes->lcid, attributes->syskind);
        }
        library->ReleaseTLibAttr(attributes);
    }
    if (FAILED(hr))
        ZUN_TRACE("ZUN_E: ComModule::UnregisterServer(): UnRegisterTypeLib(): Failure %u", static_cast<unsigned>(hr));
    return hr;
}

}  // namespace zun::com
