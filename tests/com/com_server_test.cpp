// The ZunNV server as its clients use it: registered with regsvr32, created
// through COM, called directly, through IDispatch and from other apartments.
#include <gtest/gtest.h>

#include <windows.h>

#include <oleauto.h>
#include <process.h>

#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "com_test_support.h"
#include "platform/win32/registry_key_owner.h"

namespace zun::testing {
namespace {

// Passes the size check with a call type no build serves; every accepted
// call clears the stale update path.
GatewayRecord UnservedRecord() {
    GatewayRecord record{};
    record.size = sizeof record;
    record.callType = 11;
    std::strcpy(record.updateFilePath, "stale");
    return record;
}

// A failure of the method arrives from Invoke as an exception whose scode carries it.
ZunStatus CallThroughDispatch(IDispatch* dispatch, GatewayRecord& record) {
    VARIANT argument;
    VariantInit(&argument);
    V_VT(&argument) = VT_UI1 | VT_BYREF;
    V_UI1REF(&argument) = AsBytes(record);
    DISPPARAMS params = {&argument, nullptr, 1, 0};
    EXCEPINFO exception = {};
    UINT argumentError = 0;
    HRESULT hr = dispatch->Invoke(1, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, &exception, &argumentError);
    if (hr == DISP_E_EXCEPTION) {
        SysFreeString(exception.bstrSource);
        SysFreeString(exception.bstrDescription);
        SysFreeString(exception.bstrHelpFile);
        hr = exception.scode;
    }
    return static_cast<ZunStatus>(hr);
}

// In the caller's apartment of either kind, IDispatch reaches CoStoreGateway
// as a direct call does: both hand EntryPoint the caller's own record, whose
// stale update path it clears. The caller's one CoUninitialize then ends its
// apartment: the engine's own COM initialisation is balanced.
TEST(ComObject, CallsInTheCallersApartmentDirectlyAndThroughDispatch) {
    ServerModule server;
    for (const DWORD model : {COINIT_APARTMENTTHREADED, COINIT_MULTITHREADED}) {
        std::thread([&] {
            ASSERT_EQ(CoInitializeEx(nullptr, model), S_OK);
            ComRef<IZunNV> zunNV;
            ASSERT_EQ(server.CreateZunNV(zunNV.Out()), S_OK);
            GatewayRecord direct = UnservedRecord(), dispatched = UnservedRecord();
            EXPECT_EQ(ZunStatus(zunNV->CoStoreGateway(AsBytes(direct))), ZUN_E_INVALID_REQUEST);
            EXPECT_EQ(CallThroughDispatch(zunNV.Get(), dispatched), ZUN_E_INVALID_REQUEST);
            EXPECT_STREQ(direct.updateFilePath, "");
            EXPECT_STREQ(dispatched.updateFilePath, "");
            zunNV.Reset();
            CoUninitialize();
            APTTYPE type;
            APTTYPEQUALIFIER qualifier;
            EXPECT_EQ(CoGetApartmentType(&type, &qualifier), CO_E_NOTINITIALIZED) << model;
        }).join();
    }
}

std::mutex gTraceLock;
std::string gTrace;  // under gTraceLock

// Collects the loaded engine module's trace lines as a debugger gets them: a
// vectored handler sees each debug string first.
LONG CALLBACK CollectTrace(EXCEPTION_POINTERS* exception) {
    const EXCEPTION_RECORD& record = *exception->ExceptionRecord;
    if (record.ExceptionCode == DBG_PRINTEXCEPTION_C && record.NumberParameters >= 2) {
        std::lock_guard<std::mutex> lock(gTraceLock);
        gTrace += reinterpret_cast<const char*>(record.ExceptionInformation[1]);
    }
    return EXCEPTION_CONTINUE_SEARCH;
}

// The apartment-threaded object lives in an apartment of its own and the
// parameter carries one byte across, never a whole record: the object refuses
// both calls, saying why, instead of reading that byte as a record, and the
// caller's record stays as it was.
TEST(ComObject, AMultithreadedApartmentCallsThroughTheModulesProxy) {
    std::thread([] {
        ComApartment apartment(COINIT_MULTITHREADED);
        ComRef<IZunNV> zunNV;
        ASSERT_EQ(CoCreateInstance(CLSID_ZunNV, nullptr, CLSCTX_INPROC_SERVER, IID_IZunNV, zunNV.OutVoid()), S_OK);
        GatewayRecord record = UnservedRecord();
        const std::unique_ptr<void, decltype(&RemoveVectoredExceptionHandler)> tracing(
            AddVectoredExceptionHandler(1, CollectTrace), RemoveVectoredExceptionHandler);
        EXPECT_EQ(ZunStatus(zunNV->CoStoreGateway(AsBytes(record))), ZUN_E_INVALID_REQUEST);
        EXPECT_EQ(CallThroughDispatch(zunNV.Get(), record), ZUN_E_INVALID_REQUEST);
        EXPECT_STREQ(record.updateFilePath, "stale");
        std::lock_guard<std::mutex> lock(gTraceLock);
        const std::string refusal = "called from another apartment";
        EXPECT_NE(gTrace.find(refusal, gTrace.find(refusal) + 1), std::string::npos) << "not twice in:\n" << gTrace;
    }).join();
}

TEST(ComModule, StaysLoadedWhileAnObjectAFactoryALockOrAProxyFactoryIsAlive) {
    ComApartment apartment(COINIT_APARTMENTTHREADED);
    ServerModule server;
    ASSERT_EQ(server.CanUnloadNow(), S_OK);
    ComRef<IClassFactory> factory;
    ASSERT_EQ(server.GetClassObject(CLSID_ZunNV, IID_IClassFactory, factory.OutVoid()), S_OK);
    EXPECT_EQ(server.CanUnloadNow(), S_FALSE) << "factory alive";
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
}

// "{...}" in upper case, as the registry holds it.
std::string GuidText(REFGUID guid) {
    wchar_t wide[39] = {};
    StringFromGUID2(guid, wide, 39);
    return std::string(wide, wide + 38);
}

std::string DefaultValue(const std::string& key) {
    char data[MAX_PATH] = {};
    DWORD size = sizeof data;
    RegGetValueA(HKEY_CLASSES_ROOT, key.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, data, &size);
    return data;
}

bool ClassesKeyExists(const std::string& key) {
    platform::win32::RegistryKeyOwner handle;
    return RegOpenKeyExA(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, handle.Out()) == ERROR_SUCCESS;
}

std::string ModulePath() {
    char path[MAX_PATH] = {};
    platform::LoadedModule(ZUN_ENGINE_PATH).GetPath(path, sizeof path);
    return path;
}

intptr_t RunRegsvr32(const char* option) {
    const std::string quoted = "\"" + ModulePath() + "\"";
    return _spawnlp(_P_WAIT, "regsvr32.exe", "regsvr32.exe", "/s", option, quoted.c_str(), nullptr);
}

const std::string kIid = GuidText(IID_IZunNV), kClassKey = "CLSID\\" + GuidText(CLSID_ZunNV);
const std::string kAppId = GuidText(ZUN_APPID_ZUNSERVER_INITIALIZER);

// Every key the server owns, whether it writes it itself or through the
// type library and proxy registration.
const std::vector<std::string> kServerKeys = {
    "AppID\\" + kAppId, "AppID\\ZunServer.DLL", "ZunServer.ZunNV.1", "ZunServer.ZunNV", kClassKey,
    "TypeLib\\" + GuidText(LIBID_ZunServerLib), "Interface\\" + kIid, "CLSID\\" + kIid};

// The keys do their work: the ProgID names the class of this module, the
// interface's own proxy (registered after the type library, so that it and
// not the automation marshaler serves IZunNV) and the type library are found.
void ExpectServerRegistered() {
    for (const std::string& key : kServerKeys) EXPECT_TRUE(ClassesKeyExists(key)) << key;
    EXPECT_EQ(DefaultValue(kClassKey + "\\InprocServer32"), ModulePath());
    CLSID clsid{}, proxyStub{};
    EXPECT_EQ(CLSIDFromProgID(L"ZunServer.ZunNV", &clsid), S_OK);
    EXPECT_TRUE(IsEqualCLSID(clsid, CLSID_ZunNV));
    EXPECT_EQ(CoGetPSClsid(IID_IZunNV, &proxyStub), S_OK);
    EXPECT_TRUE(IsEqualCLSID(proxyStub, IID_IZunNV));
    ComRef<ITypeLib> library;
    EXPECT_EQ(LoadRegTypeLib(LIBID_ZunServerLib, 1, 0, 0, library.Out()), S_OK);
}

// The test fixture registered the server before this runs; it stays registered.
TEST(ComRegistration, Regsvr32WritesTheServersKeysAndRemovesExactlyThose) {
    ComApartment apartment(COINIT_APARTMENTTHREADED);
    ExpectServerRegistered();
    // A stale class key is replaced whole, and registering again is no error.
    platform::win32::RegistryKeyOwner stale;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, (kClassKey + "\\Programmable\\Stale").c_str(), 0, nullptr, 0,
                              KEY_WRITE, nullptr, stale.Out(), nullptr),
              ERROR_SUCCESS);
    stale.Reset();
    ASSERT_EQ(RunRegsvr32(""), 0);
    ASSERT_EQ(RunRegsvr32(""), 0);
    EXPECT_FALSE(ClassesKeyExists(kClassKey + "\\Programmable\\Stale"));
    ExpectServerRegistered();

    ASSERT_EQ(RunRegsvr32("/u"), 0);
    for (const std::string& key : kServerKeys) EXPECT_FALSE(ClassesKeyExists(key)) << key;
    for (const char* root : {"AppID", "CLSID"}) EXPECT_TRUE(ClassesKeyExists(root)) << root;
    EXPECT_EQ(RunRegsvr32("/u"), 0) << "unregistering what is gone";
    ASSERT_EQ(RunRegsvr32(""), 0);
    ExpectServerRegistered();
}

}  // namespace
}  // namespace zun::testing
