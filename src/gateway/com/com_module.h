// The COM server module: its instance handle, its one class, its
// registration and its type library. It lives from process attach to
// process detach; the exported functions of the DLL forward to it.
#pragma once

#include <windows.h>

#include <oaidl.h>

#include "platform/win32/com_ref.h"

namespace zun::com {

class ComModule {
public:
    BOOL DllMain(HINSTANCE instance, DWORD reason);
    HRESULT GetClassObject(REFCLSID clsid, REFIID riid, void** object);
    // S_OK when no object, class factory reference or server lock is alive.
    HRESULT CanUnloadNow();
    // The class, the AppID and the type library.
    HRESULT RegisterServer();
    HRESULT UnregisterServer();

    // The type library embedded in the module file as TYPELIB resource 1.
    HRESULT LoadTypeLibrary(platform::win32::ComRef<ITypeLib>& library);

private:
    HRESULT ModulePath(wchar_t (&path)[MAX_PATH]);

    HINSTANCE _instance = nullptr;
};

ComModule& TheComModule();

}  // namespace zun::com
