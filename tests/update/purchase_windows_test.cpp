// One purchase under Wine against the local store server for each route a
// client takes: EntryPoint, the engine DLL across an engine update, and the
// COM object's CoStoreGateway. Wine shows the dialogs but renders no page, so
// the test plays the shopper who closes the purchase wizard once it shows.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include <zunserver/zunserver.h>

#include "com_test_support.h"
#include "engine_update.h"
#include "gateway/engine_module_info.h"
#include "nested_purchase.h"
#include "platform/module.h"
#include "platform/module_loader.h"
#include "platform/ui.h"
#include "ui/test_dialog.h"

namespace zun {
namespace {

namespace fs = std::filesystem;

// A call made on a thread of its own, as an application's window thread makes
// it; a window-creation hook on that thread collects the top-level dialogs it
// opens, in order: the wait window, then the purchase wizard.
class WatchedCall final : public testing::DialogRunner {
public:
    explicit WatchedCall(std::function<Status()> call) {
        Start([this, call]() -> intptr_t {
            tCurrent = this;
            HHOOK hook = SetWindowsHookExA(WH_CBT, OnCbt, nullptr, GetCurrentThreadId());
            EXPECT_NE(hook, nullptr);
            const Status status = call();
            UnhookWindowsHookEx(hook);
            return status;
        });
    }
    ~WatchedCall() override {
        Finish();
        Join();
    }

    // Plays the shopper until the call returns (bounded): `onWizard` sees the
    // purchase wizard once it shows, which is then closed. Later dialogs are
    // declined: Wine's browser control asks in a modal warning of its own
    // about the test store's certificate, past which the wizard cannot end.
    std::optional<Status> Finish(const std::function<void(HWND)>& onWizard = nullptr) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        bool wizardClosed = false;
        while (!WaitForEnd(std::chrono::milliseconds(10))) {
            if (std::chrono::steady_clock::now() >= end) return std::nullopt;
            std::vector<HWND> dialogs;
            {
                std::lock_guard<std::mutex> lock(_lock);
                dialogs = _dialogs;
            }
            for (size_t later = 2; later < dialogs.size(); ++later) {
                if (IsWindowVisible(dialogs[later])) PostMessageA(dialogs[later], WM_CLOSE, 0, 0);
            }
            if (!wizardClosed && dialogs.size() >= 2 && IsWindowVisible(dialogs[1])) {
                if (onWizard) onWizard(dialogs[1]);
                PostMessageA(dialogs[1], WM_CLOSE, 0, 0);
                wizardClosed = true;
            }
        }
        return static_cast<Status>(EndCode());
    }

private:
    static LRESULT CALLBACK OnCbt(int code, WPARAM wParam, LPARAM lParam) {
        char className[16] = {};
        HWND window = reinterpret_cast<HWND>(wParam);
        if (code == HCBT_CREATEWND && (reinterpret_cast<CBT_CREATEWNDA*>(lParam)->lpcs->style & WS_CHILD) == 0 &&
            GetClassNameA(window, className, sizeof className) > 0 && std::strcmp(className, "#32770") == 0) {
            std::lock_guard<std::mutex> lock(tCurrent->_lock);
            tCurrent->_dialogs.push_back(window);
        }
        return CallNextHookEx(nullptr, code, wParam, lParam);
    }
    static thread_local WatchedCall* tCurrent;

    std::vector<HWND> _dialogs;  // under _lock
};
thread_local WatchedCall* WatchedCall::tCurrent = nullptr;

// The engine as a client library keeps it: a copy of the built DLL in a
// folder of its own, loaded at run time.
struct ClientsEngine {
    ClientsEngine() {
        fs::create_directories(folder);
        fs::copy_file(ZUN_ENGINE_PATH, path, fs::copy_options::overwrite_existing);
    }
    ~ClientsEngine() {
        module.reset();
        std::error_code ignored;
        fs::remove_all(folder, ignored);
    }
    ZunEntryPointFunction Load() {
        module.emplace(path.c_str());
        return reinterpret_cast<ZunEntryPointFunction>(module->FindExport("EntryPoint"));
    }

    const fs::path folder = fs::temp_directory_path() / ("zun-engine-" + std::to_string(GetCurrentProcessId()));
    const std::string path = (folder / "ZunServer.dll").string();
    std::optional<platform::LoadedModule> module;
};

// The first call of the engine swap: the store offers the next build, which
// the client installs as the public header describes, once nothing of the
// first call (threads, hooks, windows) keeps the old engine in memory;
// `entryPoint` gets the next build's, loaded.
void TakeTheEngineUpdate(ClientsEngine& engine, GatewayRecord& record, ZunEntryPointFunction* entryPoint) {
    ZunEntryPointFunction first = engine.Load();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(WatchedCall([&] { return first(&record); }).Finish(), ZUN_E_ENGINE_UPDATED);
    ASSERT_EQ(record.engineUpdated, 1u);
    engine.module.reset();
    EXPECT_FALSE(platform::IsModuleLoaded(engine.path.c_str()));
    std::string why;
    platform::FileVersion version;
    ASSERT_TRUE(IsEngineBuild(record.updateFilePath, platform::ReadFileVersion(engine.path.c_str()), &version, &why))
        << why;
    ASSERT_TRUE(InstallEngineUpdate(engine.path, record.updateFilePath, &why)) << why;
    char text[32] = {};
    FormatVersionText(platform::ReadFileVersion(engine.path.c_str()), text, sizeof text);
    EXPECT_STREQ(text, ZUN_NEXT_VERSION);
    ASSERT_NE(*entryPoint = engine.Load(), nullptr);
}

// CoStoreGateway on an object from the server module's class factory, called
// in the apartment that created it.
Status CallThroughCom(GatewayRecord& record) {
    testing::ComApartment apartment(COINIT_APARTMENTTHREADED);
    testing::ServerModule server;
    testing::ComRef<IZunNV> zunNV;
    const HRESULT created = server.CreateZunNV(zunNV.Out());
    if (FAILED(created)) return static_cast<Status>(created);
    return static_cast<Status>(zunNV->CoStoreGateway(testing::AsBytes(record)));
}

enum class Route { kEntryPoint, kEngineSwap, kCom };
const char* const kRouteNames[] = {"EntryPoint", "EngineSwap", "Com"};
void PrintTo(Route route, std::ostream* out) { *out << kRouteNames[int(route)]; }

class PurchaseRoute : public ::testing::TestWithParam<Route> {};

// The purchase runs the handshake, reads the layout and opens the wizard
// shown (not hidden as the wait window is); closing it ends the call with 0,
// the state of an earlier purchase freed and the caller's own publisher
// pointer back. The layout replies carry no certificate, so the wizard opens
// the store on loopback.
TEST_P(PurchaseRoute, ReadsTheLayoutOpensTheWizardAndEndsWithoutStateWhenItCloses) {
    const Route route = GetParam();
    const std::string vantorID = route == Route::kEngineSwap ? "update-nocertificate" : "route-nocertificate";
    GatewayRecord record{};
    record.size = sizeof record;
    record.callType = ZUN_CALL_PURCHASE;
    record.vantorID = vantorID.c_str();
    record.tc = "TC-W";
    ClientsEngine engine;
    ZunEntryPointFunction nextEngine = nullptr;
    if (route == Route::kEngineSwap) TakeTheEngineUpdate(engine, record, &nextEngine);
    if (HasFatalFailure()) return;

    char callersPublisher[] = "CALLERS-OWN";
    record.publisherID = callersPublisher;
    record.cartStateOut = static_cast<uint8_t*>(HeapAlloc(GetProcessHeap(), 0, 16));
    std::string publisherDuringWizard;
    WatchedCall call([&]() -> Status {
        if (route == Route::kEngineSwap) return nextEngine(&record);
        return route == Route::kCom ? CallThroughCom(record) : EntryPoint(&record);
    });
    EXPECT_EQ(call.Finish([&](HWND wizard) {
        EXPECT_EQ(GetWindowLongA(wizard, GWL_EXSTYLE) & WS_EX_TOOLWINDOW, 0);
        publisherDuringWizard = record.publisherID;
        // A purchase from inside the wizard is refused at once and the wizard
        // goes on. (The engine in this process is EntryPoint's.)
        if (route != Route::kEntryPoint) return;
        EXPECT_EQ(testing::PurchaseInside(reinterpret_cast<platform::ui::WindowHandle>(wizard)),
                  ZUN_E_WIZARD_RUNNING);
        EXPECT_TRUE(IsWindowVisible(wizard));
    }),
              0u);
    EXPECT_EQ(publisherDuringWizard, "orvella-publisher");
    EXPECT_EQ(record.publisherID, callersPublisher);
    EXPECT_EQ(record.cartStateOut, nullptr);
    EXPECT_EQ(record.wizardWidth, 800);
}

INSTANTIATE_TEST_SUITE_P(Routes, PurchaseRoute, ::testing::Values(Route::kEntryPoint, Route::kEngineSwap, Route::kCom),
                         [](const ::testing::TestParamInfo<Route>& info) { return kRouteNames[int(info.param)]; });

}  // namespace
}  // namespace zun
