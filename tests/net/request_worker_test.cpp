// The Windows request workers: a request aborted while its call blocks
// leaves that call to a worker thread, which keeps its module loaded until
// the call returns.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include <zunserver/zunserver.h>

#include "store_server.h"

namespace zun {
namespace {

template <typename Function>
Function Export(HMODULE module, const char* name) {
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

// Polls `done` for up to `limit`.
template <typename Done>
bool Within(std::chrono::seconds limit, Done done) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        Sleep(50);
    }
    return true;
}

TEST(RequestWorkers, AModuleUnloadedRightAfterAnAbortedRequestStaysUntilTheCallEnds) {
    HMODULE module = LoadLibraryA(ZUN_ABANDONED_REQUEST_MODULE);
    ASSERT_NE(module, nullptr) << GetLastError();
    using Abandon = uint32_t (*)(const char*, const char*);
    auto abandon = Export<Abandon>(module, "AbandonSlowRequest");
    ASSERT_NE(abandon, nullptr);
    // The server answers after three seconds; the session is closed long
    // before, and the module let go of at once.
    EXPECT_EQ(abandon(testing::StoreServer().c_str(), "/body?size=10&wait=3"), ZUN_E_SESSION_CLOSED);
    EXPECT_TRUE(FreeLibrary(module));
    // The worker's blocked call returns into code that is still there, and
    // the module goes when the worker does.
    EXPECT_TRUE(Within(std::chrono::seconds(20), [] {
        return GetModuleHandleA(ZUN_ABANDONED_REQUEST_MODULE_NAME) == nullptr;
    }));
}

TEST(RequestWorkers, TheEngineCannotBeUnloadedWhileAWorkerRuns) {
    HMODULE engine = LoadLibraryA(ZUN_ENGINE_PATH);
    ASSERT_NE(engine, nullptr) << GetLastError();
    auto entry = Export<ZunEntryPointFunction>(engine, "EntryPoint");
    using CanUnloadNow = HRESULT(WINAPI*)();
    auto canUnloadNow = Export<CanUnloadNow>(engine, "DllCanUnloadNow");
    ASSERT_NE(entry, nullptr);
    ASSERT_NE(canUnloadNow, nullptr);
    EXPECT_EQ(canUnloadNow(), S_OK);

    // The store answers this update check after two seconds.
    Status status = 0;
    std::thread check([&] {
        GatewayRecord record{};
        record.size = sizeof record;
        record.callType = ZUN_CALL_CHECK_FOR_UPDATE;
        record.vantorID = "slow";
        status = entry(&record);
    });
    EXPECT_TRUE(Within(std::chrono::seconds(20), [&] { return canUnloadNow() == S_FALSE; }));
    check.join();
    EXPECT_EQ(status, ZUN_S_NO_UPDATE);
    EXPECT_TRUE(Within(std::chrono::seconds(10), [&] { return canUnloadNow() == S_OK; }));
    FreeLibrary(engine);
}

}  // namespace
}  // namespace zun
