// One purchase under Wine against the local store server for each route a
// client takes: EntryPoint (both purchase types), the engine DLL across an
// engine update, and the COM object's CoStoreGateway. Wine shows the dialogs
// but renders no page, so no store page ever completes: the test plays the
// shopper who closes the purchase wizard once it shows.
#include <windows.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <functional>
#include <future>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <zunserver/zunserver.h>

#include "com_test_support.h"
#include "engine_update.h"
#include "file_bytes.h"
#include "gateway/engine_module_info.h"
#include "nested_purchase.h"
#include "platform/module.h"
#include "platform/module_loader.h"
#include "platform/ui.h"
#include "store_server.h"
#include "trace_capture.h"

namespace zun {
namespace {

namespace fs = std::filesystem;
using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;
using testing::FileBytes;
using Clock = std::chrono::steady_clock;

constexpr auto kWizardLimit = std::chrono::seconds(30);
constexpr auto kCallLimit = std::chrono::seconds(60);

// A call made on a thread of its own, as an application's window thread makes
// it, while a window-creation hook on that thread collects the top-level
// dialogs it opens, in order: the wait window first and then, unless the
// handshake ends the call, the purchase wizard.
class WatchedCall {
public:
    explicit WatchedCall(std::function<Status()> call) : _result(_promise.get_future().share()) {
        _thread = std::thread([this, call] {
            {
                std::lock_guard<std::mutex> lock(Lock());
                Current() = this;
            }
            HHOOK hook = SetWindowsHookExA(WH_CBT, OnCbt, nullptr, GetCurrentThreadId());
            EXPECT_NE(hook, nullptr);
            const Status status = call();
            if (hook != nullptr) UnhookWindowsHookEx(hook);
            {
                std::lock_guard<std::mutex> lock(Lock());
                Current() = nullptr;
            }
            _promise.set_value(status);
        });
    }

    // A call whose wizard the test did not close (a failing test) gets
    // WM_CLOSE at its dialogs until it returns (bounded by CTest's timeout).
    ~WatchedCall() {
        const auto end = Clock::now() + kCallLimit;
        while (_result.wait_for(std::chrono::milliseconds(100)) != std::future_status::ready && Clock::now() < end) {
            for (HWND dialog : Dialogs()) {
                if (IsWindow(dialog)) PostMessageA(dialog, WM_CLOSE, 0, 0);
            }
        }
        _thread.join();
    }
    WatchedCall(const WatchedCall&) = delete;
    WatchedCall& operator=(const WatchedCall&) = delete;

    // Waits for the purchase wizard (the dialog after the wait window) to
    // show, hands it to `inspect`, closes it as a person does and waits for
    // the call to return; false when the wizard did not show in time. Wine's
    // browser control still fetches the pre-fill page and asks in a modal
    // "Security Warning" of its own about the test store's certificate,
    // which the wizard cannot end (nor show) past: the shopper declines every
    // dialog after the wizard.
    bool CloseWizard(const std::function<void(HWND)>& inspect) {
        const auto wizardEnd = Clock::now() + kWizardLimit;
        const auto callEnd = Clock::now() + kCallLimit;
        bool closed = false;
        while (Clock::now() < (closed ? callEnd : wizardEnd)) {
            const std::vector<HWND> dialogs = Dialogs();
            for (size_t later = 2; later < dialogs.size(); ++later) {
                if (IsWindowVisible(dialogs[later])) PostMessageA(dialogs[later], WM_CLOSE, 0, 0);
            }
            if (!closed && dialogs.size() >= 2 && IsWindowVisible(dialogs[1])) {
                inspect(dialogs[1]);
                PostMessageA(dialogs[1], WM_CLOSE, 0, 0);
                closed = true;
            }
            if (_result.wait_for(std::chrono::milliseconds(10)) == std::future_status::ready) return closed;
        }
        return closed;
    }

    // The call's status; none when it has not returned within the limit.
    std::optional<Status> Result() {
        if (_result.wait_for(kCallLimit) != std::future_status::ready) return std::nullopt;
        return _result.get();
    }

    std::vector<HWND> Dialogs() const {
        std::lock_guard<std::mutex> lock(Lock());
        return _dialogs;
    }

private:
    static std::mutex& Lock() {
        static std::mutex lock;
        return lock;
    }
    static WatchedCall*& Current() {
        static WatchedCall* current = nullptr;
        return current;
    }

    static LRESULT CALLBACK OnCbt(int code, WPARAM wParam, LPARAM lParam) {
        if (code == HCBT_CREATEWND) {
            HWND window = reinterpret_cast<HWND>(wParam);
            const CREATESTRUCTA* create = reinterpret_cast<CBT_CREATEWNDA*>(lParam)->lpcs;
            char className[16] = {};
            if ((create->style & WS_CHILD) == 0 && GetClassNameA(window, className, sizeof className) > 0 &&
                std::strcmp(className, "#32770") == 0) {
                std::lock_guard<std::mutex> lock(Lock());
                if (Current() != nullptr) Current()->_dialogs.push_back(window);
            }
        }
        return CallNextHookEx(nullptr, code, wParam, lParam);
    }

    std::vector<HWND> _dialogs;  // under Lock()
    std::promise<Status> _promise;
    std::shared_future<Status> _result;
    std::thread _thread;
};

// The purchase wizard as it shows: a shown window, not hidden as the wait
// window is, hosting the browser control.
void ExpectShownPurchaseWizard(HWND wizard) {
    EXPECT_EQ(GetWindowLongA(wizard, GWL_EXSTYLE) & WS_EX_TOOLWINDOW, 0);
    EXPECT_NE(GetDlgItem(wizard, platform::ui::kBrowserControlId), nullptr);
    RECT rect{};
    ASSERT_TRUE(GetWindowRect(wizard, &rect));
    EXPECT_GT(rect.right - rect.left, 0);
    EXPECT_GT(rect.bottom - rect.top, 0);
}

GatewayRecord PurchaseRecord(uint32_t callType, const char* vantorID) {
    GatewayRecord record{};
    record.size = sizeof record;
    record.callType = callType;
    record.vantorID = vantorID;
    record.tc = "TC-W";
    record.wizardWidth = record.wizardHeight = record.invoiceWidth = record.invoiceHeight = -7;
    return record;
}

// The sizes of the store server's layout reply.
void ExpectLayoutFromTheStore(const GatewayRecord& record) {
    EXPECT_EQ(record.wizardHeight, 600);
    EXPECT_EQ(record.wizardWidth, 800);
    EXPECT_EQ(record.invoiceWidth, 640);
    EXPECT_EQ(record.invoiceHeight, 480);
    EXPECT_EQ(record.interactive, 1u);
}

// The request lines the store server received after `before` of them.
std::string RequestsSince(const std::string& before) { return testing::RequestLog().substr(before.size()); }

std::string TempDirectory() {
    char path[MAX_PATH] = {};
    EXPECT_GT(GetTempPathA(sizeof path, path), 0u);
    return path;
}

// The engine as a client library keeps it: a copy of the built DLL in a
// folder of its own, loaded at run time.
class ClientsEngine {
public:
    ClientsEngine() : folder(fs::path(TempDirectory()) / ("zun-engine-" + std::to_string(GetCurrentProcessId()))) {
        fs::create_directories(folder);
        fs::copy_file(ZUN_ENGINE_PATH, path, fs::copy_options::overwrite_existing);
    }
    ~ClientsEngine() {
        Unload();
        std::error_code ignored;
        fs::remove_all(folder, ignored);
    }
    ClientsEngine(const ClientsEngine&) = delete;
    ClientsEngine& operator=(const ClientsEngine&) = delete;

    bool Load() {
        _module.emplace(path.c_str());
        entryPoint = reinterpret_cast<ZunEntryPointFunction>(_module->FindExport("EntryPoint"));
        return entryPoint != nullptr;
    }
    void Unload() {
        entryPoint = nullptr;
        _module.reset();
    }
    const fs::path folder;
    const std::string path = (folder / "ZunServer.dll").string();
    ZunEntryPointFunction entryPoint = nullptr;

private:
    std::optional<platform::LoadedModule> _module;
};

enum class Route { kEntryPoint, kEngineSwap, kCom };

struct RouteCase {
    const char* name;
    Route route;
    uint32_t callType;
};
void PrintTo(const RouteCase& route, std::ostream* out) { *out << route.name; }

// The first call of the engine swap: the store offers the next build, which
// ends the call before any wizard; the client installs it as the public
// header describes and loads it.
void TakeTheEngineUpdate(ClientsEngine& engine, GatewayRecord& record) {
    ASSERT_TRUE(engine.Load());
    {
        WatchedCall call([&] { return engine.entryPoint(&record); });
        EXPECT_EQ(call.Result(), ZUN_E_ENGINE_UPDATED);
        EXPECT_EQ(call.Dialogs().size(), 1u);  // the wait window only
    }
    EXPECT_EQ(record.engineUpdated, 1u);
    EXPECT_EQ(record.cartStateOut, nullptr);
    EXPECT_EQ(record.wizardWidth, -7);
    const std::string update = record.updateFilePath;
    const std::string temp = TempDirectory();
    ASSERT_THAT(update, StartsWith(temp));
    const std::string name = update.substr(temp.size());
    EXPECT_THAT(name, StartsWith("XWS"));
    EXPECT_THAT(name, EndsWith(".tmp"));
    EXPECT_EQ(name.find_first_of("\\/"), std::string::npos);
    EXPECT_EQ(FileBytes(update), FileBytes(ZUN_NEXT_ENGINE_PATH));

    engine.Unload();
    // Nothing of the first call (its threads, hooks, windows) keeps the old
    // engine in memory.
    EXPECT_FALSE(platform::IsModuleLoaded(engine.path.c_str()));
    platform::FileVersion version;
    std::string why;
    const platform::FileVersion installed = platform::ReadFileVersion(engine.path.c_str());
    ASSERT_TRUE(IsEngineBuild(update.c_str(), installed, &version, &why)) << why;
    ASSERT_TRUE(InstallEngineUpdate(engine.path, update, &why)) << why;
    char text[32] = {};
    FormatVersionText(platform::ReadFileVersion(engine.path.c_str()), text, sizeof text);
    EXPECT_STREQ(text, ZUN_NEXT_VERSION);
    ASSERT_TRUE(engine.Load());
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

class PurchaseRoute : public ::testing::TestWithParam<RouteCase> {};

// The purchase runs the handshake against the store, then the wizard; closing
// it ends the call with 0 and no CartState. The layout replies of these tests
// carry no certificate, so the wizard opens the store at the store host, on
// loopback, and not at the certificate's host.
TEST_P(PurchaseRoute, ReadsTheLayoutOpensTheWizardAndEndsWithoutStateWhenItCloses) {
    const RouteCase& route = GetParam();
    const bool swap = route.route == Route::kEngineSwap;
    const std::string vantorID = std::string(swap ? "update" : route.name) + "-nocertificate";
    GatewayRecord record = PurchaseRecord(route.callType, vantorID.c_str());
    ClientsEngine engine;
    if (swap) TakeTheEngineUpdate(engine, record);
    if (HasFatalFailure()) return;

    char callersPublisher[] = "CALLERS-OWN";
    record.publisherID = callersPublisher;
    // The state of an earlier purchase: freed, not handed back again.
    record.cartStateOut = static_cast<uint8_t*>(HeapAlloc(GetProcessHeap(), 0, 16));
    const std::string before = testing::RequestLog();
    testing::TraceCapture trace;
    std::string publisherDuringWizard;
    {
        WatchedCall call([&]() -> Status {
            switch (route.route) {
            case Route::kEngineSwap: return engine.entryPoint(&record);
            case Route::kCom: return CallThroughCom(record);
            default: return EntryPoint(&record);
            }
        });
        EXPECT_TRUE(call.CloseWizard([&](HWND wizard) {
            ExpectShownPurchaseWizard(wizard);
            publisherDuringWizard = record.publisherID;
            // A purchase from inside the wizard is refused at once; the
            // wizard goes on. (The engine in this process is EntryPoint's.)
            if (route.route != Route::kEntryPoint) return;
            EXPECT_EQ(testing::PurchaseInside(reinterpret_cast<platform::ui::WindowHandle>(wizard)),
                      ZUN_E_WIZARD_RUNNING);
            EXPECT_TRUE(IsWindowVisible(wizard));
        }));
        EXPECT_EQ(call.Result(), 0u);
    }
    EXPECT_EQ(record.cartStateOut, nullptr);
    EXPECT_EQ(record.updateFilePath[0], '\0');
    ExpectLayoutFromTheStore(record);
    // The wizard reads the layout's publisher; the caller gets its own
    // pointer back.
    EXPECT_EQ(publisherDuringWizard, "orvella-publisher");
    EXPECT_EQ(record.publisherID, callersPublisher);
    const std::string requests = RequestsSince(before);
    EXPECT_THAT(requests, HasSubstr("call=layoutSize&cmd=layoutSize&s=" + vantorID + "&"));
    // The installed build does not ask for an update again.
    if (swap) {
        EXPECT_THAT(requests, Not(HasSubstr("vnidc=" + vantorID + "&")));
    }
    if (route.route != Route::kEntryPoint) return;

    // The store never receives the pre-fill under Wine, so the body's keys are
    // read from the engine's trace of it.
    const std::vector<std::string> messages = trace.Messages();
    const auto line = std::find_if(messages.begin(), messages.end(), [](const std::string& each) {
        return each.find("CreatePurchasePostData(): PostData of ") != std::string::npos;
    });
    ASSERT_NE(line, messages.end());
    EXPECT_THAT(*line, HasSubstr(route.callType == ZUN_CALL_PURCHASE_CFU ? "keys s,pc,page,tc,cmd,pt"
                                                                         : "keys s,pc,page,tc,pt"));
}

INSTANTIATE_TEST_SUITE_P(Routes, PurchaseRoute,
                         ::testing::Values(RouteCase{"EntryPoint", Route::kEntryPoint, ZUN_CALL_PURCHASE},
                                           RouteCase{"EntryPointCfu", Route::kEntryPoint, ZUN_CALL_PURCHASE_CFU},
                                           RouteCase{"EngineSwap", Route::kEngineSwap, ZUN_CALL_PURCHASE},
                                           RouteCase{"Com", Route::kCom, ZUN_CALL_PURCHASE}),
                         [](const ::testing::TestParamInfo<RouteCase>& info) { return info.param.name; });

}  // namespace
}  // namespace zun
