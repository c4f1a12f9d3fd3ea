#include "platform/posix/chromium_process.h"

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "base/trace.h"
#include "platform/posix/shell_words.h"

namespace zun::platform::posix {
namespace {

constexpr char kDefaultBrowser[] = "/usr/lib/chromium/chromium";
constexpr char kProfilePreferences[] =
    R"({"autofill": {"profile_enabled": false, "credit_card_enabled": false},)"
    R"( "credentials_enable_service": false, "profile": {"password_manager_enabled": false}})";
// How long a kept window may take to show its empty page: 2 s.
constexpr int kLoadChecks = 80;
constexpr std::chrono::milliseconds kLoadCheckInterval{25};

std::string EnvironmentValue(const char* name) {
    const char* value = std::getenv(name);
    return value == nullptr ? std::string() : std::string(value);
}

// Headless unless a person can see the window: ZUN_BROWSER_HEADLESS=1 or 0
// decides; otherwise a display (X or Wayland) makes the window visible.
bool ChooseHeadless() {
    const std::string choice = EnvironmentValue("ZUN_BROWSER_HEADLESS");
    if (choice == "1") return true;
    if (choice == "0") return false;
    return EnvironmentValue("DISPLAY").empty() && EnvironmentValue("WAYLAND_DISPLAY").empty();
}

}  // namespace

Status ReadBrowserLaunch(BrowserLaunch* launch) {
    launch->headless = ChooseHeadless();
    if (!SplitShellWords(EnvironmentValue("ZUN_BROWSER_FLAGS"), &launch->flags)) {
        ZUN_TRACE("ZUN_E: ChromiumSession::Open(): ZUN_BROWSER_FLAGS leaves a quote open: Failure %u",
                  ZUN_E_INVALID_ARG);
        return ZUN_E_INVALID_ARG;
    }
    launch->temporaryFolder = EnvironmentValue("TMPDIR");
    if (launch->temporaryFolder.empty()) launch->temporaryFolder = "/tmp";
    launch->program = EnvironmentValue("ZUN_BROWSER_PATH");
    if (launch->program.empty()) launch->program = kDefaultBrowser;
    return 0;
}

ChromiumProcess::ChromiumProcess()
    : _pipe(std::make_unique<DevToolsPipe>(
          [this](const std::string& method, const Json& params, const std::string& sessionId) {
              Deliver(method, params, sessionId);
          })) {}

ChromiumProcess::~ChromiumProcess() { Stop(); }

Status ChromiumProcess::Start(const BrowserLaunch& launch, const ui::Rect& window) {
    _launch = launch;
    std::string pattern = launch.temporaryFolder + "/zun-browser-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) return ZUN_E_NOT_FOUND;
    _profileDir = pattern;

    // An application window: no tab strip, address bar or new-tab button,
    // and the page gets the whole window. --test-type keeps the browser from
    // warning about flags in an info bar (the sandbox flag, or flags of
    // ZUN_BROWSER_FLAGS). The application's start page must be a real
    // document: about:blank would open an ordinary window.
    std::vector<std::string> arguments = {
        "--remote-debugging-pipe", "--test-type", "--disable-gpu", "--disable-quic", "--no-first-run",
        "--no-default-browser-check", "--disable-background-networking", "--disable-component-update",
        "--disable-sync", "--disable-features=AutofillServerCommunication,NetworkTimeServiceQuerying,Translate",
        "--user-data-dir=" + _profileDir + "/profile"};
    // The sandbox cannot start as root; anyone else keeps it.
    if (geteuid() == 0) arguments.push_back("--no-sandbox");
    arguments.insert(arguments.end(), launch.flags.begin(), launch.flags.end());
    if (launch.headless) arguments.push_back("--headless=new");
    // Where the dialog is; a hidden dialog's window is put out of sight as
    // soon as the page is attached.
    arguments.push_back("--window-position=" + std::to_string(window.left) + "," + std::to_string(window.top));
    arguments.push_back("--window-size=" + std::to_string(std::max(window.Width(), 1)) + "," +
                        std::to_string(std::max(window.Height(), 1)));
    arguments.push_back(std::string("--app=") + kStartPage);
    // The profile's settings: the browser offers to keep neither addresses
    // nor cards nor passwords typed into the store, so no prompt of its own
    // appears over the page.
    std::error_code made;
    std::filesystem::create_directories(_profileDir + "/profile/Default", made);
    if (std::ofstream preferences(_profileDir + "/profile/Default/Preferences"); preferences) {
        preferences << kProfilePreferences;
    }
    const std::vector<std::string> environment = {"XDG_CONFIG_HOME=" + _profileDir + "/config",
                                                  "XDG_CACHE_HOME=" + _profileDir + "/cache"};
    ZUN_TRACE("ZUN: ChromiumSession::Open(): starting %s (%s)", launch.program.c_str(),
              launch.headless ? "headless" : "window");
    const Status status = _pipe->Start(launch.program, arguments, environment);
    if (status != 0) ZUN_TRACE("ZUN_E: ChromiumSession::Open(): Start(): Failure %u", status);
    return status;
}

void ChromiumProcess::StartWithPeer(DevToolsPipe::CommandWriter writer) {
    _peer = true;
    _pipe->StartWithPeer(std::move(writer));
}

void ChromiumProcess::Stop() {
    _pipe->Stop();
    if (!_profileDir.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(_profileDir, ignored);
        _profileDir.clear();
    }
}

void ChromiumProcess::Route(DevToolsPipe::EventHandler handler) {
    std::lock_guard<std::recursive_mutex> lock(_routeLock);
    _handler = std::move(handler);
}

void ChromiumProcess::Deliver(const std::string& method, const Json& params, const std::string& sessionId) {
    // Recursive: a peer may answer a command of the handler with an event
    // on the same thread.
    std::lock_guard<std::recursive_mutex> lock(_routeLock);
    if (_handler) _handler(method, params, sessionId);
}

Status ChromiumProcess::ClearPages() {
    // The application window is the only window without browser chrome, and
    // the protocol cannot open another: it is kept, emptied and out of sight,
    // and every other page is closed. A browser whose application window a
    // person has closed is not kept.
    if (_appPage.empty()) return ZUN_E_NOT_FOUND;
    Json targets;
    Status status = _pipe->Call("Target.getTargets", Json::object(), "", &targets);
    if (status != 0) return status;
    std::vector<PipeCommand> closes;
    bool appPageOpen = false;
    for (const Json& target : ArrayField(targets, "targetInfos")) {
        const std::string id = TextField(target, "targetId");
        if (TextField(target, "type") != "page") continue;
        if (id == _appPage) {
            appPageOpen = true;
        } else {
            closes.push_back({"Target.closeTarget", {{"targetId", id}}});
        }
    }
    if (!appPageOpen) return ZUN_E_NOT_FOUND;
    status = _pipe->CallAll(closes, "");
    Json attached;
    if (status == 0) {
        status = _pipe->Call("Target.attachToTarget", {{"targetId", _appPage}, {"flatten", true}}, "", &attached);
    }
    const std::string sessionId = TextField(attached, "sessionId");
    if (status != 0 || sessionId.empty()) return status != 0 ? status : kBrowserGone;
    // The next dialog does not see this one's page (and forgets its history).
    status = _pipe->Call("Page.navigate", {{"url", kStartPage}}, sessionId, nullptr);
    // The next control attaches once the empty page has loaded: while the
    // window changes documents, a page cannot be attached to.
    bool loaded = false;
    for (int attempt = 0; status == 0 && !loaded && attempt < kLoadChecks; ++attempt) {
        Json reply;
        status = _pipe->Call("Runtime.evaluate",
                             {{"expression", std::string("location.href === '") + kStartPage +
                                                 "' && document.readyState === 'complete'"},
                              {"returnByValue", true}},
                             sessionId, &reply);
        loaded = FieldOf(ObjectField(reply, "result"), "value") != nullptr &&
                 *FieldOf(ObjectField(reply, "result"), "value") == true;
        if (!loaded) std::this_thread::sleep_for(kLoadCheckInterval);
    }
    _pipe->Post("Target.detachFromTarget", {{"sessionId", sessionId}}, "");
    if (status != 0) return status;
    if (!loaded) return kBrowserTimeout;
    Json window;
    if (_pipe->Call("Browser.getWindowForTarget", {{"targetId", _appPage}}, "", &window) == 0) {
        _pipe->Post("Browser.setWindowBounds",
                    {{"windowId", IntegerField(window, "windowId").value_or(0)},
                     {"bounds", {{"windowState", "minimized"}}}},
                    "");
    }
    return 0;
}


}  // namespace zun::platform::posix
