// The ZunNV class as its clients use it: created through COM, called
// directly, through IDispatch and from another apartment.
#include <gtest/gtest.h>

#include <windows.h>

#include <oleauto.h>

#include <thread>

#include "com_test_support.h"

namespace zun::testing {
namespace {

HRESULT CreateByProgId(const wchar_t* progId, IZunNV** object) {
    CLSID clsid;
    const HRESULT hr = CLSIDFromProgID(progId, &clsid);
    if (FAILED(hr)) return hr;
    return CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IZunNV, reinterpret_cast<void**>(object));
}

// The status of CoStoreGateway called through IDispatch::Invoke: a failure
// status of the method arrives as an exception whose scode carries it.
HRESULT InvokeCoStoreGateway(IDispatch* dispatch, unsigned char* iFace) {
    VARIANT argument;
    VariantInit(&argument);
    V_VT(&argument) = VT_UI1 | VT_BYREF;
    V_UI1REF(&argument) = iFace;
    DISPPARAMS params = {&argument, nullptr, 1, 0};
    EXCEPINFO exception = {};
    UINT argumentError = 0;
    const HRESULT hr = dispatch->Invoke(1, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, &exception, &argumentError);
    if (hr != DISP_E_EXCEPTION) return hr;
    SysFreeString(exception.bstrSource);
    SysFreeString(exception.bstrDescription);
    SysFreeString(exception.bstrHelpFile);
    return exception.scode;
}

// Created by the class identifier and both ProgIDs; IDispatch is the same
// object, and Invoke reaches CoStoreGateway as a direct call does.
TEST(ComObject, IsCreatedByBothProgIdsAndDispatchReachesCoStoreGatewayLikeADirectCall) {
    ComApartment apartment(COINIT_APARTMENTTHREADED);
    ComRef<IZunNV> zunNV, byProgId, byVersionedProgId;
    ASSERT_EQ(CoCreateInstance(CLSID_ZunNV, nullptr, CLSCTX_INPROC_SERVER, IID_IZunNV, zunNV.OutVoid()), S_OK);
    ASSERT_EQ(CreateByProgId(L"ZunServer.ZunNV", byProgId.Out()), S_OK);
    ASSERT_EQ(CreateByProgId(L"ZunServer.ZunNV.1", byVersionedProgId.Out()), S_OK);
    ComRef<IDispatch> dispatch;
    ASSERT_EQ(zunNV->QueryInterface(IID_IDispatch, dispatch.OutVoid()), S_OK);
    EXPECT_EQ(static_cast<void*>(dispatch.Get()), static_cast<void*>(zunNV.Get()));
    void* other = reinterpret_cast<void*>(1);
    EXPECT_EQ(zunNV->QueryInterface(IID_IPersist, &other), E_NOINTERFACE);
    EXPECT_EQ(other, nullptr);

    wchar_t name[] = L"CoStoreGateway";
    LPOLESTR names[] = {name};
    DISPID id = 0;
    ASSERT_EQ(zunNV->GetIDsOfNames(IID_NULL, names, 1, 0, &id), S_OK);
    EXPECT_EQ(id, 1);

    // An unserved call type: rejected after the record checks, which clear
    // the update path. A record of the wrong size: rejected before anything
    // is touched.
    for (const uint32_t size : {uint32_t{sizeof(GatewayRecord)}, uint32_t{sizeof(GatewayRecord) + 1}}) {
        GatewayRecord direct = UnservedRecord(), dispatched = UnservedRecord();
        direct.size = dispatched.size = size;
        EXPECT_EQ(static_cast<ZunStatus>(zunNV->CoStoreGateway(AsBytes(direct))), ZUN_E_INVALID_REQUEST);
        EXPECT_EQ(static_cast<ZunStatus>(InvokeCoStoreGateway(zunNV.Get(), AsBytes(dispatched))),
                  ZUN_E_INVALID_REQUEST);
        EXPECT_STREQ(direct.updateFilePath, size == sizeof(GatewayRecord) ? "" : "stale");
        EXPECT_STREQ(dispatched.updateFilePath, direct.updateFilePath);
    }
}

// CO_E_NOTINITIALIZED when the calling thread has no COM apartment.
HRESULT ApartmentOfThisThread(APTTYPE* type) {
    APTTYPEQUALIFIER qualifier;
    return CoGetApartmentType(type, &qualifier);
}

TEST(ComObject, ACallLeavesTheCallersComInitialisationAsItWas) {
    std::thread([] {
        // An apartment that the caller opened once is gone after its one
        // CoUninitialize, however many calls were made in it.
        ASSERT_EQ(CoInitialize(nullptr), S_OK);
        IZunNV* zunNV = nullptr;
        ASSERT_EQ(
            CoCreateInstance(CLSID_ZunNV, nullptr, CLSCTX_INPROC_SERVER, IID_IZunNV, reinterpret_cast<void**>(&zunNV)),
            S_OK);
        for (int call = 0; call < 3; ++call) {
            GatewayRecord record = UnservedRecord();
            EXPECT_EQ(static_cast<ZunStatus>(zunNV->CoStoreGateway(AsBytes(record))), ZUN_E_INVALID_REQUEST);
        }
        zunNV->Release();
        CoUninitialize();
        APTTYPE type;
        EXPECT_EQ(ApartmentOfThisThread(&type), CO_E_NOTINITIALIZED);
    }).join();

    // An object straight from the module's class factory, called on a
    // thread that COM would never hand it to.
    ServerModule server;
    ComRef<IZunNV> zunNV;
    ASSERT_EQ(server.CreateZunNV(zunNV.Out()), S_OK);
    std::thread([&] {
        // CoInitialize fails in the multithreaded apartment; the call must
        // not take the thread's own initialisation away.
        ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
        GatewayRecord record = UnservedRecord();
        EXPECT_EQ(static_cast<ZunStatus>(zunNV->CoStoreGateway(AsBytes(record))), ZUN_E_INVALID_REQUEST);
        APTTYPE type = APTTYPE_STA;
        EXPECT_EQ(ApartmentOfThisThread(&type), S_OK);
        EXPECT_EQ(type, APTTYPE_MTA);
        CoUninitialize();
        EXPECT_EQ(ApartmentOfThisThread(&type), CO_E_NOTINITIALIZED);
    }).join();
}

TEST(ComObject, AMultithreadedApartmentCallsThroughTheModulesProxy) {
    std::thread([] {
        ComApartment apartment(COINIT_MULTITHREADED);
        CLSID proxyStub;
        ASSERT_EQ(CoGetPSClsid(IID_IZunNV, &proxyStub), S_OK);
        EXPECT_TRUE(IsEqualCLSID(proxyStub, IID_IZunNV)) << "IZunNV is not served by the module's own proxy";

        // The apartment-threaded object lives in an apartment of its own;
        // this thread holds a proxy.
        ComRef<IZunNV> zunNV;
        ASSERT_EQ(CoCreateInstance(CLSID_ZunNV, nullptr, CLSCTX_INPROC_SERVER, IID_IZunNV, zunNV.OutVoid()), S_OK);
        ComRef<IClientSecurity> proxy;
        EXPECT_EQ(zunNV->QueryInterface(IID_IClientSecurity, proxy.OutVoid()), S_OK);

        // The parameter carries one byte across apartments, never a whole
        // record: the call is refused and the caller's record stays as it was.
        GatewayRecord record = UnservedRecord();
        EXPECT_EQ(static_cast<ZunStatus>(zunNV->CoStoreGateway(AsBytes(record))), ZUN_E_INVALID_REQUEST);
        EXPECT_EQ(static_cast<ZunStatus>(InvokeCoStoreGateway(zunNV.Get(), AsBytes(record))), ZUN_E_INVALID_REQUEST);
        EXPECT_STREQ(record.updateFilePath, "stale");
    }).join();
}

TEST(ComModule, StaysLoadedWhileAnObjectAFactoryALockOrAProxyFactoryIsAlive) {
    ComApartment apartment(COINIT_APARTMENTTHREADED);
    ServerModule server;
    ASSERT_EQ(server.CanUnloadNow(), S_OK);

    ComRef<IClassFactory> factory;
    ASSERT_EQ(server.GetClassObject(CLSID_ZunNV, IID_IClassFactory, factory.OutVoid()), S_OK);
    EXPECT_EQ(server.CanUnloadNow(), S_FALSE);
    ComRef<IZunNV> zunNV;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IZunNV, zunNV.OutVoid()), S_OK);
    ASSERT_EQ(factory->LockServer(TRUE), S_OK);
    factory.Reset();
    EXPECT_EQ(server.CanUnloadNow(), S_FALSE) << "object and lock alive";
    zunNV.Reset();
    EXPECT_EQ(server.CanUnloadNow(), S_FALSE) << "lock alive";
    ASSERT_EQ(server.GetClassObject(CLSID_ZunNV, IID_IClassFactory, factory.OutVoid()), S_OK);
    ASSERT_EQ(factory->LockServer(FALSE), S_OK);
    factory.Reset();
    EXPECT_EQ(server.CanUnloadNow(), S_OK);

    // Proxies run code of this module as well, also once their factory is gone.
    ComRef<IPSFactoryBuffer> proxyFactory;
    ASSERT_EQ(server.GetClassObject(IID_IZunNV, IID_IPSFactoryBuffer, proxyFactory.OutVoid()), S_OK);
    EXPECT_EQ(server.CanUnloadNow(), S_FALSE) << "proxy factory alive";
    ComRef<IRpcProxyBuffer> proxy;
    ComRef<IZunNV> proxied;
    ASSERT_EQ(proxyFactory->CreateProxy(nullptr, IID_IZunNV, proxy.Out(), proxied.OutVoid()), S_OK);
    proxyFactory.Reset();
    proxied.Reset();
    EXPECT_EQ(server.CanUnloadNow(), S_FALSE) << "proxy alive";
    proxy.Reset();
    EXPECT_EQ(server.CanUnloadNow(), S_OK);

    ComRef<IUnknown> unknown;
    EXPECT_EQ(server.GetClassObject(IID_IDispatch, IID_IUnknown, unknown.OutVoid()), CLASS_E_CLASSNOTAVAILABLE);
}

}  // namespace
}  // namespace zun::testing
