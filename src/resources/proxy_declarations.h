/* Declarations the generated proxy code uses but mingw's headers give to
 * C++ only. */
#ifndef ZUNSERVER_PROXY_DECLARATIONS_H
#define ZUNSERVER_PROXY_DECLARATIONS_H
#include <unknwn.h>
#ifndef __cplusplus
HRESULT STDMETHODCALLTYPE IUnknown_QueryInterface_Proxy(IUnknown *This, REFIID riid, void **ppvObject);
ULONG STDMETHODCALLTYPE IUnknown_AddRef_Proxy(IUnknown *This);
ULONG STDMETHODCALLTYPE IUnknown_Release_Proxy(IUnknown *This);
#endif
#endif
