// Registration through regsvr32, as an installer does it. The test fixture
// has registered the server before this runs; the test leaves it registered.
#include <gtest/gtest.h>

#include <windows.h>

#include <oleauto.h>

#include <optional>
#include <string>
#include <vector>

#include "com_test_support.h"

namespace zun::testing {
namespace {

// The default value (name nullptr) or a named value of a key below
// HKEY_CLASSES_ROOT; nothing when the key or the value is missing.
std::optional<std::string> ClassesValue(const std::string& key, const char* name = nullptr) {
    char data[1024];
    DWORD size = sizeof data;
    if (RegGetValueA(HKEY_CLASSES_ROOT, key.c_str(), name, RRF_RT_REG_SZ, nullptr, data, &size) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    return std::string(data);
}

bool ClassesKeyExists(const std::string& key) {
    platform::win32::RegistryKeyOwner handle;
    return RegOpenKeyExA(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, handle.Out()) == ERROR_SUCCESS;
}

std::string ModulePath() {
    HMODULE module = LoadLibraryA(ZUN_ENGINE_PATH);
    char path[MAX_PATH] = {};
    GetModuleFileNameA(module, path, MAX_PATH);
    FreeLibrary(module);
    return path;
}

// regsvr32's exit code.
DWORD RunRegsvr32(bool unregister) {
    std::string command = std::string("regsvr32.exe /s ") + (unregister ? "/u " : "") + "\"" + ModulePath() + "\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        return GetLastError();
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD exitCode = 0;
    GetExitCodeProcess(process.hProcess, &exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return exitCode;
}

const std::string kClsid = GuidText(CLSID_ZunNV);
const std::string kAppIdText = GuidText(kAppId);
const std::string kIid = GuidText(IID_IZunNV);
const std::string kLibid = GuidText(LIBID_ZunServerLib);
const std::string kClassKey = "CLSID\\" + kClsid;

// Every key the server owns, whether it writes it itself or through the
// type library and proxy registration.
std::vector<std::string> ServerKeys() {
    return {"AppID\\" + kAppIdText, "AppID\\ZunServer.DLL", "ZunServer.ZunNV.1", "ZunServer.ZunNV", kClassKey,
            "TypeLib\\" + kLibid,   "Interface\\" + kIid,   "CLSID\\" + kIid};
}

void ExpectServerRegistered(const std::string& modulePath) {
    for (const std::string& key : ServerKeys()) EXPECT_TRUE(ClassesKeyExists(key)) << key;
    EXPECT_EQ(ClassesValue("ZunServer.ZunNV\\CLSID"), kClsid);
    EXPECT_EQ(ClassesValue("ZunServer.ZunNV\\CurVer"), "ZunServer.ZunNV.1");
    EXPECT_EQ(ClassesValue(kClassKey, "AppID"), kAppIdText);
    EXPECT_EQ(ClassesValue(kClassKey + "\\InprocServer32"), modulePath);
    EXPECT_EQ(ClassesValue(kClassKey + "\\InprocServer32", "ThreadingModel"), "Apartment");
    // The type library, registered from the module's own resource.
    ComRef<ITypeLib> library;
    EXPECT_EQ(LoadRegTypeLib(LIBID_ZunServerLib, 1, 0, 0, library.Out()), S_OK);
    // The interface's own proxy and stub, registered after the type library
    // so that they, not the automation marshaler, serve IZunNV.
    EXPECT_EQ(ClassesValue("Interface\\" + kIid + "\\ProxyStubClsid32"), kIid);
    EXPECT_EQ(ClassesValue("CLSID\\" + kIid + "\\InprocServer32"), modulePath);
}

TEST(ComRegistration, Regsvr32WritesTheServersKeysAndRemovesExactlyThose) {
    const std::string modulePath = ModulePath();
    ASSERT_FALSE(modulePath.empty());
    {
        SCOPED_TRACE("registered by the fixture");
        ExpectServerRegistered(modulePath);
    }

    // A stale class key is replaced whole, and registering again is no error.
    {
        platform::win32::RegistryKeyOwner stale;
        ASSERT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, (kClassKey + "\\Programmable\\Stale").c_str(), 0, nullptr, 0,
                                  KEY_WRITE, nullptr, stale.Out(), nullptr),
                  ERROR_SUCCESS);
    }
    ASSERT_EQ(RunRegsvr32(false), 0u);
    ASSERT_EQ(RunRegsvr32(false), 0u);
    EXPECT_FALSE(ClassesKeyExists(kClassKey + "\\Programmable\\Stale"));
    {
        SCOPED_TRACE("registered twice more");
        ExpectServerRegistered(modulePath);
    }

    ASSERT_EQ(RunRegsvr32(true), 0u);
    for (const std::string& key : ServerKeys()) EXPECT_FALSE(ClassesKeyExists(key)) << key;
    EXPECT_TRUE(ClassesKeyExists("AppID"));
    EXPECT_TRUE(ClassesKeyExists("CLSID"));
    CLSID clsid;
    EXPECT_NE(CLSIDFromProgID(L"ZunServer.ZunNV", &clsid), S_OK);

    // Unregistering what is already gone is no error either.
    EXPECT_EQ(RunRegsvr32(true), 0u);

    // Leave the server as the fixture registered it.
    ASSERT_EQ(RunRegsvr32(false), 0u);
    ExpectServerRegistered(modulePath);
}

}  // namespace
}  // namespace zun::testing
