#include "gateway/com/zunnv.h"

#include <new>

#include <zunserver/zunserver.h>

#include "base/boundary.h"
#include "base/trace.h"
#include "gateway/com/com_module.h"
#include "gateway/com/module_lock.h"
#include "gateway/com/stub_guard.h"

namespace zun::com {
namespace {

using platform::win32::ComRef;

// The type description that dispatch calls go through. For a dual interface
// the library hands out its dispatch view; the calls themselves go through
// the interface's own function table, described by the vtable view.
HRESULT LoadTypeInfo(bool vtableView, ComRef<ITypeInfo>& info) {
    info.Reset();
    ComRef<ITypeLib> library;
    HRESULT hr = TheComModule().LoadTypeLibrary(library);
    if (FAILED(hr)) return hr;
    ComRef<ITypeInfo> dispatchView;
    hr = library->GetTypeInfoOfGuid(IID_IZunNV, dispatchView.Out());
    if (FAILED(hr)) return hr;
    if (!vtableView) {
        info = dispatchView;
        return S_OK;
    }
    HREFTYPE vtableReference = 0;
    hr = dispatchView->GetRefTypeOfImplType(static_cast<UINT>(-1), &vtableReference);
    if (SUCCEEDED(hr)) hr = dispatchView->GetRefTypeInfo(vtableReference, info.Out());
    return hr;
}

}  // namespace

ZunNV::ZunNV() { LockModule(); }

ZunNV::~ZunNV() { UnlockModule(); }

HRESULT ZunNV::CreateInstance(REFIID riid, void** object) {
    ZunNV* instance = new (std::nothrow) ZunNV;
    if (instance == nullptr) return E_OUTOFMEMORY;
    const HRESULT hr = instance->QueryInterface(riid, object);
    instance->Release();
    return hr;
}

HRESULT ZunNV::QueryInterface(REFIID riid, void** object) {
    if (object == nullptr) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) || IsEqualIID(riid, IID_IZunNV)) {
        *object = static_cast<IZunNV*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

HRESULT ZunNV::GetTypeInfoCount(UINT* count) {
    if (count == nullptr) return E_POINTER;
    *count = 1;
    return S_OK;
}

HRESULT ZunNV::GetTypeInfo(UINT index, LCID, ITypeInfo** info) {
    try {
        if (info == nullptr) return E_POINTER;
        *info = nullptr;
        if (index != 0) return DISP_E_BADINDEX;
        ComRef<ITypeInfo> loaded;
        const HRESULT hr = LoadTypeInfo(false, loaded);
        if (SUCCEEDED(hr)) *info = loaded.Detach();
        return hr;
    }
    ZUN_CATCH_RETURN()
}

HRESULT ZunNV::GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
    try {
        if (!IsEqualIID(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
        ComRef<ITypeInfo> info;
        const HRESULT hr = LoadTypeInfo(true, info);
        if (FAILED(hr)) return hr;
        return info->GetIDsOfNames(names, count, ids);
    }
    ZUN_CATCH_RETURN()
}

HRESULT ZunNV::Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                      EXCEPINFO* exception, UINT* argumentError) {
    try {
        if (!IsEqualIID(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
        ComRef<ITypeInfo> info;
        const HRESULT hr = LoadTypeInfo(true, info);
        if (FAILED(hr)) return hr;
        return info->Invoke(static_cast<IZunNV*>(this), id, flags, params, result, exception, argumentError);
    }
    ZUN_CATCH_RETURN()
}

HRESULT ZunNV::CoStoreGateway(unsigned char* iFace) {
    try {
        ZUN_TRACE("ZUN: Prolog CZunNV::CoStoreGateway()");
        ZunStatus status;
        if (TakeCallFromAnotherApartment()) {
            // Only the record's first byte was marshaled; reading it as a record
            // would run past what arrived.
            ZUN_TRACE("ZUN_E: CZunNV::CoStoreGateway(): called from another apartment: no record came along");
            status = ZUN_E_INVALID_REQUEST;
        } else {
            // The engine's windows and the browser control need COM on this
            // thread. A successful initialisation (S_OK, or S_FALSE when the
            // thread already had it) is balanced, so the caller's own count is
            // the same afterwards.
            const HRESULT initialised = CoInitialize(nullptr);
            status = EntryPoint(reinterpret_cast<GatewayRecord*>(iFace));
            if (SUCCEEDED(initialised)) CoUninitialize();
        }
        ZUN_TRACE("ZUN: Epilog CZunNV::CoStoreGateway()");
        return static_cast<HRESULT>(status);
    }
    ZUN_CATCH_RETURN()
}

}  // namespace zun::com
