// The COM class ZunNV: the dual interface IZunNV whose one method reaches the
// engine's entry function. The object holds nothing but its reference count;
// its IDispatch works from the module's type library.
#pragma once

#include <windows.h>

#include <atomic>

#include "ZunServer.h"

namespace zun::com {

class ZunNV final : public IZunNV {
public:
    static HRESULT CreateInstance(REFIID riid, void** object);

    // IUnknown: IUnknown, IDispatch and IZunNV are one and the same pointer.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    // IDispatch
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                                     EXCEPINFO* exception, UINT* argumentError) override;

    // IZunNV
    HRESULT STDMETHODCALLTYPE CoStoreGateway(unsigned char* iFace) override;

private:
    ZunNV();
    ~ZunNV();

    std::atomic<ULONG> _references{1};
};

}  // namespace zun::com
