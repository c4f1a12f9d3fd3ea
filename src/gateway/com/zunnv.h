// The COM class ZunNV: the dual interface IZunNV whose one method reaches the
// engine's entry function. The object holds nothing but its reference count;
// its IDispatch works from the module's type library.
#pragma once

#include <windows.h>

#include "ZunServer.h"
#include "platform/win32/counted_object.h"

namespace zun::com {

class ZunNV final : public platform::win32::CountedObject<IZunNV> {
public:
    static HRESULT CreateInstance(REFIID riid, void** object);

    // IUnknown: IUnknown, IDispatch and IZunNV are one and the same pointer.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;

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
    ~ZunNV() override;
};

}  // namespace zun::com
