#include "platform/posix/chromium_session.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <optional>
#include <sstream>
#include <thread>

#include "base/trace.h"
#include "platform/posix/browser_reuse.h"
#include "platform/posix/chromium_dom.h"
#include "platform/posix/embedded_origin.h"
#include "platform/posix/window_placement.h"
#include "state/base64.h"

namespace zun::platform::posix {
namespace {

// Clicks on connected elements: the listeners, their table of clicked
// elements and the binding they report through live only in a script world
// of the engine's own, one a document, which page script cannot reach; a
// click counts only when a person made it.
constexpr char kClickWorld[] = "__zunClicks";
constexpr char kClickBinding[] = "__zunClick";
constexpr char kClickListener[] = R"(function (id) {
    const handler = (event) => {
        event.preventDefault();
        if (!event.isTrusted) return;
        const targets = (window.__zunClickTargets = window.__zunClickTargets || []);
        targets.push(event.target);
        __zunClick(JSON.stringify({c: id, t: targets.length - 1}));
    };
    this.addEventListener('click', handler);
    (window.__zunClickHandlers = window.__zunClickHandlers || {})[id] = [this, handler];
})";

// Esc pressed by a person: a listener in a script world of the engine's own
// reports trusted key presses through a binding that exists only in that
// world, so the page's own script can neither call it nor fake the key.
constexpr char kKeyWorld[] = "__zunKeys";
constexpr char kKeyBinding[] = "__zunKey";
// The other keys are what the status bar's icons give on Windows: Ctrl+I
// the store's certificate (the lock), F1 the About box (the zone icon; with
// Shift its affiliation page). The browser does nothing else with them.
constexpr char kKeyListener[] = R"(window.addEventListener('keydown', (event) => {
    if (!event.isTrusted || event.altKey || event.metaKey) return;
    let key = null;
    if (event.key === 'Escape') key = 'Escape';
    if (event.key === 'i' && event.ctrlKey) key = 'Certificate';
    if (event.key === 'F1' && !event.ctrlKey) key = event.shiftKey ? 'AboutAffiliation' : 'About';
    if (key === null) return;
    if (key !== 'Escape') event.preventDefault();
    __zunKey(key);
}, true);)";

// What a person sees on Ctrl+I when the page did not come over a secure
// connection: there is no certificate to show.
constexpr char kNotSecureText[] = "This page did not come over a secure connection: there is no certificate to show.";

// A visible alert waits for the person in front of it; this bounds the wait
// for one who has walked away (a headless page's alert is taken at once).
constexpr std::chrono::milliseconds kAlertLimit = std::chrono::minutes(10);

// The progress bar of the dialog, drawn at the bottom left of one of the
// engine's own pages (the wait page), where it does not cover the page's
// buttons; -1 removes it.
constexpr char kProgressScript[] = R"(function (percent) {
    let bar = document.getElementById('__zunProgress');
    if (percent < 0) {
        if (bar) bar.remove();
        return;
    }
    if (!bar) {
        bar = document.createElement('progress');
        bar.id = '__zunProgress';
        bar.max = 100;
        bar.style.cssText = 'position: fixed; left: 8px; bottom: 8px; width: 96px; height: 14px';
        document.body.appendChild(bar);
    }
    bar.value = percent;
})";

// Bounds on what the page reports of its window and screen.
constexpr double kMostFrame = 400;
constexpr double kMostScreen = 100000;

std::vector<std::pair<std::string, std::string>> ParseHeaders(const char* headers) {
    std::vector<std::pair<std::string, std::string>> parsed;
    if (headers == nullptr) return parsed;
    std::istringstream lines(headers);
    std::string line;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const size_t colon = line.find(':');
        if (colon == std::string::npos || colon == 0) continue;
        size_t start = colon + 1;
        while (start < line.size() && line[start] == ' ') ++start;
        parsed.emplace_back(line.substr(0, colon), line.substr(start));
    }
    return parsed;
}

// The requests the page's Fetch domain pauses: always those of the embedded
// pages' origin, and while a POST is pending every top document request.
Json FetchPatterns(bool postPending) {
    Json patterns = Json::array({EmbeddedOriginPattern()});
    if (postPending) {
        patterns.push_back({{"urlPattern", "*"}, {"resourceType", "Document"}, {"requestStage", "Request"}});
    }
    return {{"patterns", patterns}};
}

bool SameName(const std::string& a, const std::string& b) {
    return a.size() == b.size() && strncasecmp(a.c_str(), b.c_str(), a.size()) == 0;
}

// The lock value of a visible security state: the strength of the cipher of
// a secure connection; 0 for anything that is not secure.
int32_t LockValueOf(const Json& state) {
    if (TextField(state, "securityState") != "secure") return browser::kLockUnsecure;
    const std::string cipher = TextField(ObjectField(state, "certificateSecurityState"), "cipher");
    if (cipher.find("256") != std::string::npos || cipher.find("128") != std::string::npos ||
        cipher.find("CHACHA20") != std::string::npos) {
        return browser::kLockSecure128Bit;
    }
    if (cipher.find("56") != std::string::npos) return browser::kLockSecure56Bit;
    if (cipher.find("40") != std::string::npos) return browser::kLockSecure40Bit;
    return browser::kLockSecureUnknownBits;
}

// The arguments of a Runtime.callFunctionOn, as plain values.
Json CallArguments(const Json& arguments) {
    Json list = Json::array();
    for (const Json& argument : arguments) list.push_back({{"value", argument}});
    return list;
}

}  // namespace

ChromiumSession::ChromiumSession(ui::WindowHandle dialog, browser::BrowserEvents& events)
    : _dialog(dialog), _events(events) {}

ChromiumSession::~ChromiumSession() { Close(); }

Status ChromiumSession::Open() {
    BrowserLaunch launch;
    Status status = ReadBrowserLaunch(&launch);
    if (status != 0) return status;
    if (std::unique_ptr<ChromiumProcess> kept = TakeKeptBrowser(launch)) {
        status = AttachTo(std::move(kept));
        if (status == 0) return 0;
        // It went away meanwhile: a browser of the dialog's own replaces it.
        ZUN_TRACE("ZUN_E: ChromiumSession::Open(): the kept browser: Failure %u; starting another", status);
    }
    auto process = std::make_unique<ChromiumProcess>();
    ui::Rect rect;
    ui::GetWindowRect(_dialog, &rect);
    status = process->Start(launch, rect);
    if (status != 0) return status;
    return AttachTo(std::move(process));
}

Status ChromiumSession::OpenWithPeer(DevToolsPipe::CommandWriter writer) {
    auto process = std::make_unique<ChromiumProcess>();
    process->StartWithPeer(std::move(writer));
    return AttachTo(std::move(process));
}

Status ChromiumSession::AttachTo(std::unique_ptr<ChromiumProcess> process) {
    {
        std::lock_guard<std::mutex> lock(_lock);
        _sessionId.clear();
        _targetId.clear();
    }
    _process = std::move(process);
    _pipe = &_process->Pipe();
    _headless = _process->IsHeadless();
    // Close() routes the events elsewhere before this session goes. What a
    // browser given up on had still sent to the dialog is dropped there.
    _process->Route([this, attachment = ++_attachment](const std::string& method, const Json& params,
                                                         const std::string& sessionId) {
        OnEvent(attachment, method, params, sessionId);
    });
    const Status status = Attach();
    if (status != 0) {
        _process->Route(nullptr);
        _pipe = nullptr;
        _process.reset();
    }
    return status;
}

Status ChromiumSession::Attach() {
    // A kept browser has its application window ready; in a browser just
    // started, the window's page appears shortly after it is up.
    std::string targetId = _process->AppPage();
    Status status = 0;
    for (int attempt = 0; attempt < 200 && targetId.empty(); ++attempt) {
        Json targets;
        status = _pipe->Call("Target.getTargets", Json::object(), "", &targets);
        if (status != 0) break;
        for (const Json& target : ArrayField(targets, "targetInfos")) {
            if (TextField(target, "type") == "page") targetId = TextField(target, "targetId");
        }
        if (targetId.empty()) std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
    if (targetId.empty()) {
        ZUN_TRACE("ZUN_E: ChromiumSession::Open(): no page: Failure %u", status == 0 ? ZUN_E_NOT_FOUND : status);
        return status == 0 ? ZUN_E_NOT_FOUND : status;
    }
    _process->SetAppPage(targetId);
    Json attached;
    status = _pipe->Call("Target.attachToTarget", {{"targetId", targetId}, {"flatten", true}}, "", &attached);
    if (status != 0) return status;
    const std::string sessionId = TextField(attached, "sessionId");
    if (sessionId.empty()) return kBrowserGone;
    {
        std::lock_guard<std::mutex> lock(_lock);
        _sessionId = sessionId;
        _targetId = targetId;
    }
    // In one round trip: the browser runs them in this order.
    Json tree;
    status = _pipe->CallAll({{"Page.enable", Json::object()},
                             {"Runtime.enable", Json::object()},
                             {"Network.enable", Json::object()},
                             {"Security.enable", Json::object()},
                             {"Fetch.enable", FetchPatterns(false)},
                             {"Runtime.addBinding", {{"name", kClickBinding}, {"executionContextName", kClickWorld}}},
                             {"Page.addScriptToEvaluateOnNewDocument",
                              {{"source", kKeyListener}, {"worldName", kKeyWorld}}},
                             {"Runtime.addBinding", {{"name", kKeyBinding}, {"executionContextName", kKeyWorld}}},
                             {"Page.getFrameTree", Json::object(), &tree}},
                            sessionId);
    if (status != 0) return status;
    {
        std::lock_guard<std::mutex> lock(_lock);
        _mainFrameId = TextField(ObjectField(ObjectField(tree, "frameTree"), "frame"), "id");
    }
    // A person cannot go back to what the window showed for an earlier
    // dialog.
    _pipe->Post("Page.resetNavigationHistory", Json::object(), sessionId);
    StartNewObjectGroup();
    Json window;
    status = _pipe->Call("Browser.getWindowForTarget", {{"targetId", targetId}}, "", &window);
    if (status != 0) return status;
    _windowId = IntegerField(window, "windowId").value_or(0);
    MeasureWindow();
    std::weak_ptr<ChromiumSession> weak = weak_from_this();
    ui::ObserveWindowPlacement(_dialog, [weak](const ui::Rect& rect, bool inSight) {
        if (auto self = weak.lock()) self->FollowDialog(rect, inSight);
    });
    ui::ObserveProgress(_dialog, [weak](int32_t percent) {
        if (auto self = weak.lock()) self->ShowProgress(percent);
    });
    ui::PresentDialogsOf(_dialog, [weak](ui::WindowHandle dialog) {
        if (auto self = weak.lock()) self->PresentDialog(dialog);
    });
    return 0;
}

void ChromiumSession::PresentDialog(ui::WindowHandle dialog) {
    // A message box over the page; its OK is the dialog's OK.
    if (_closed) return;
    Alert(ui::DialogText(dialog));
    ui::SendWindowMessage(dialog, ui::kMsgCommand, static_cast<uintptr_t>(ui::kIdOk), 0, nullptr);
}

void ChromiumSession::ShowProgress(int32_t percent) {
    // Only the engine's own pages show it: a store page is not the engine's
    // to draw on.
    if (_closed || !_ownPage) return;
    Evaluate("(" + std::string(kProgressScript) + ")(" + std::to_string(percent) + ")", nullptr);
}

void ChromiumSession::MeasureWindow() {
    // The page is as wide and tall as the window less the frame the browser
    // draws itself (none for an application window without a window
    // manager); the screen is the display's, less its panels.
    Json values;
    if (Evaluate("[outerWidth - innerWidth, outerHeight - innerHeight, screen.availLeft, screen.availTop,"
                 " screen.availWidth, screen.availHeight]",
                 &values) != 0) {
        return;
    }
    const auto at = [&values](size_t index) { return NumberAt(values, index); };
    if (!_process->HasFrame() && at(0) && at(1) && *at(0) >= 0 && *at(1) >= 0 && *at(0) < kMostFrame &&
        *at(1) < kMostFrame) {
        _process->SetFrame({static_cast<int32_t>(*at(0)), static_cast<int32_t>(*at(1))});
    }
    // A headless browser has no screen: its made-up one is not the work area.
    if (_headless || !at(2) || !at(3) || !at(4) || !at(5) || *at(4) < 1 || *at(5) < 1 || *at(4) > kMostScreen ||
        *at(5) > kMostScreen || std::abs(*at(2)) > kMostScreen || std::abs(*at(3)) > kMostScreen) {
        return;
    }
    const auto left = static_cast<int32_t>(*at(2));
    const auto top = static_cast<int32_t>(*at(3));
    ui::SetWorkArea({left, top, left + static_cast<int32_t>(*at(4)), top + static_cast<int32_t>(*at(5))});
}

void ChromiumSession::FollowDialog(const ui::Rect& rect, bool inSight) {
    if (_closed || !_pipe || _windowId == 0) return;
    // A window's state and its bounds are set apart: the protocol refuses
    // bounds together with a state other than "normal".
    const Json windowId = _windowId;
    if (!inSight) {
        _pipe->Post("Browser.setWindowBounds", {{"windowId", windowId}, {"bounds", {{"windowState", "minimized"}}}},
                    "");
        return;
    }
    _pipe->Post("Browser.setWindowBounds", {{"windowId", windowId}, {"bounds", {{"windowState", "normal"}}}}, "");
    // The dialog's size is the page's: the window adds its own frame.
    const ChromiumProcess::Frame frame = _process ? _process->WindowFrame() : ChromiumProcess::Frame{};
    _pipe->Post("Browser.setWindowBounds",
                {{"windowId", windowId},
                 {"bounds",
                  {{"left", rect.left},
                   {"top", rect.top},
                   {"width", rect.Width() + frame.width},
                   {"height", rect.Height() + frame.height}}}},
                "");
}

void ChromiumSession::Close() {
    _closed = true;
    ui::ObserveWindowPlacement(_dialog, nullptr);
    ui::ObserveProgress(_dialog, nullptr);
    ui::PresentDialogsOf(_dialog, nullptr);
    if (!_process) return;
    _process->Route(nullptr);
    _pipe = nullptr;
    ReleaseBrowser(std::move(_process));
}

Status ChromiumSession::Command(const std::string& method, const Json& params, Json* result,
                                std::chrono::milliseconds limit) {
    if (!_pipe) return kBrowserGone;
    std::string sessionId;
    {
        std::lock_guard<std::mutex> lock(_lock);
        sessionId = _sessionId;
    }
    return _pipe->Call(method, params, sessionId, result, limit);
}

Status ChromiumSession::Navigate(const char* url, const std::vector<uint8_t>* body, const char* headers) {
    if (url == nullptr) return ZUN_E_INVALID_ARG;
    const std::string target = BrowserUrlOf(url);
    if (body != nullptr && !IsEmbeddedOriginUrl(target)) {
        auto post = std::make_unique<PendingPost>();
        post->body = *body;
        post->headers = ParseHeaders(headers);
        {
            std::lock_guard<std::mutex> lock(_lock);
            _pendingPost = std::move(post);
        }
        // The navigation leaves as a GET; the paused request is sent on as a
        // POST of exactly these bytes.
        const Status status = Command("Fetch.enable", FetchPatterns(true));
        if (status != 0) return status;
    } else {
        std::lock_guard<std::mutex> lock(_lock);
        _pendingPost.reset();
    }
    Json result;
    const Status status = Command("Page.navigate", {{"url", target}}, &result);
    if (status != 0) return status;
    const std::string error = TextField(result, "errorText");
    if (error.empty()) return 0;
    ZUN_TRACE("ZUN_E: ChromiumSession::Navigate(): %s: %s", target.c_str(), error.c_str());
    return dom::kDomCallFailed;
}

void ChromiumSession::OnEvent(int attachment, const std::string& method, const Json& params,
                              const std::string& sessionId) {
    std::weak_ptr<ChromiumSession> weak = weak_from_this();
    auto toDialog = [this, weak, attachment](std::string name, Json values) {
        ui::PostWindowTask(_dialog, [weak, attachment, name = std::move(name), values = std::move(values)] {
            if (auto self = weak.lock()) self->Deliver(attachment, name, values);
        });
    };
    if (method.empty()) {
        toDialog("gone", Json::object());
        return;
    }
    std::unique_lock<std::mutex> lock(_lock);
    if (_sessionId.empty()) return;  // not attached yet
    const bool ownPageEnded = (sessionId.empty() && method == "Target.detachedFromTarget" &&
                               TextField(params, "sessionId") == _sessionId) ||
                              (sessionId.empty() && method == "Target.targetDestroyed" &&
                               TextField(params, "targetId") == _targetId) ||
                              (sessionId == _sessionId && method == "Inspector.detached");
    if (ownPageEnded) {
        // A person closed the window (or another DevTools client closed the
        // page): nothing the page's script can do. Calls waiting for the
        // page get no reply any more.
        const std::string ended = _sessionId;
        lock.unlock();
        _pipe->AbandonSession(ended);
        toDialog("closed", Json::object());
        return;
    }
    if (sessionId != _sessionId) return;  // windows the page opened, and the browser itself
    if (method == "Inspector.targetCrashed") {
        lock.unlock();
        toDialog("gone", Json::object());
        return;
    }
    if (method == "Fetch.requestPaused") {
        OnPausedRequest(params, sessionId, lock);
        return;
    }
    if (method == "Page.javascriptDialogOpening") {
        _lastDialogMessage = TextField(params, "message");
        lock.unlock();
        // Nobody can answer a dialog of a headless page: it is taken as read.
        if (_headless) _pipe->Post("Page.handleJavaScriptDialog", {{"accept", true}}, sessionId);
        return;
    }
    lock.unlock();
    static const char* const delivered[] = {
        "Network.requestWillBeSent", "Network.loadingFinished", "Network.loadingFailed",
        "Page.frameStoppedLoading", "Page.frameNavigated",
        "Page.loadEventFired",       "Security.visibleSecurityStateChanged", "Runtime.bindingCalled"};
    for (const char* name : delivered) {
        if (method == name) {
            toDialog(method, params);
            return;
        }
    }
}

void ChromiumSession::OnPausedRequest(const Json& params, const std::string& sessionId,
                                      std::unique_lock<std::mutex>& lock) {
    const std::string requestId = TextField(params, "requestId");
    if (requestId.empty()) return;
    const Json& request = ObjectField(params, "request");
    const std::string url = TextField(request, "url");
    if (IsEmbeddedOriginUrl(url)) {
        lock.unlock();
        _pipe->Post("Fetch.fulfillRequest", EmbeddedResponse(requestId, url), sessionId);
        return;
    }
    std::unique_ptr<PendingPost> post = std::move(_pendingPost);
    if (post && TextField(params, "frameId") != _mainFrameId) {
        _pendingPost = std::move(post);  // not the top frame's navigation
    }
    lock.unlock();
    Json continuation = {{"requestId", requestId}};
    if (post) {
        Json headerList = Json::array();
        for (auto& [name, value] : ObjectField(request, "headers").items()) {
            if (!value.is_string()) continue;
            bool replaced = false;
            for (auto& own : post->headers) replaced = replaced || SameName(own.first, name);
            if (!replaced) headerList.push_back({{"name", name}, {"value", value}});
        }
        for (auto& [name, value] : post->headers) headerList.push_back({{"name", name}, {"value", value}});
        continuation["method"] = "POST";
        continuation["postData"] = EncodeBase64(post->body.data(), post->body.size());
        continuation["headers"] = headerList;
    }
    _pipe->Post("Fetch.continueRequest", continuation, sessionId);
    if (post) _pipe->Post("Fetch.enable", FetchPatterns(false), sessionId);
}

void ChromiumSession::Deliver(int attachment, const std::string& method, const Json& params) {
    if (_closed || attachment != _attachment) return;
    std::string mainFrame;
    {
        std::lock_guard<std::mutex> lock(_lock);
        mainFrame = _mainFrameId;
    }
    if (method == "gone") {
        _closed = true;
        _events.OnBrowserFailed(kBrowserGone);
    } else if (method == "closed") {
        // The window's close box is the dialog's.
        _closed = true;
        ZUN_TRACE("ZUN: ChromiumSession: the browser window was closed");
        ui::SendWindowMessage(_dialog, ui::kMsgClose, 0, 0, nullptr);
    } else if (method == "Network.requestWillBeSent") {
        const bool topDocument = TextField(params, "type") == "Document" && TextField(params, "frameId") == mainFrame &&
                                 TextField(ObjectField(params, "request"), "url") != kStartPage;
        if (topDocument) _events.OnBeforeNavigate2(EngineUrlOf(TextField(ObjectField(params, "request"), "url")).c_str());
        if (topDocument && !_loading) {
            // A download runs from the top document's request to its load.
            _loading = true;
            _requestsSeen = 1;
            _requestsDone = 0;
            _events.OnDownloadBegin();
        } else if (_loading) {
            ++_requestsSeen;
            _events.OnProgressChange(_requestsDone, _requestsSeen);
        }
    } else if (method == "Network.loadingFinished" || method == "Network.loadingFailed") {
        if (_loading && _requestsDone < _requestsSeen) {
            ++_requestsDone;
            _events.OnProgressChange(_requestsDone, _requestsSeen);
        }
    } else if (method == "Page.frameStoppedLoading") {
        // A navigation that ends without a load (an error, a stop).
        if (TextField(params, "frameId") != mainFrame || !_loading) return;
        _loading = false;
        _events.OnDownloadComplete();
    } else if (method == "Page.frameNavigated") {
        const Json& frame = ObjectField(params, "frame");
        if (FieldOf(frame, "parentId") == nullptr) {
            _currentUrl = EngineUrlOf(TextField(frame, "url") + TextField(frame, "urlFragment"));
            _ownPage = IsEmbeddedOriginUrl(TextField(frame, "url"));
        }
    } else if (method == "Page.loadEventFired") {
        if (_currentUrl.empty() || _currentUrl == kStartPage) return;
        if (_loading) {
            _loading = false;
            _events.OnDownloadComplete();
        }
        StartNewObjectGroup();
        _events.OnDocumentComplete(_currentUrl.c_str());
    } else if (method == "Security.visibleSecurityStateChanged") {
        _events.OnSetSecureLockIcon(LockValueOf(ObjectField(params, "visibleSecurityState")));
    } else if (method == "Runtime.bindingCalled") {
        DeliverClick(params);
    }
}

void ChromiumSession::DeliverKey(const std::string& key) {
    if (key == "Escape") {
        // As the dialog manager turns Esc into IDCANCEL.
        ui::SendWindowMessage(_dialog, ui::kMsgCommand, static_cast<uintptr_t>(ui::kIdCancel), 0, nullptr);
    } else if (key == "Certificate") {
        if (ui::ClickStatusBarIcon(_dialog, ui::kLockIcon, true, ui::kMouseLeftButton) == ZUN_E_NOT_FOUND) {
            Alert(kNotSecureText);
        }
    } else if (key == "About" || key == "AboutAffiliation") {
        const uintptr_t keys = ui::kMouseLeftButton | ui::kMouseControl | (key == "About" ? 0 : ui::kMouseShift);
        ui::ClickStatusBarIcon(_dialog, ui::kZoneIcon, false, keys);
    }
}

void ChromiumSession::StartNewObjectGroup() {
    // The previous document's remote objects go with it.
    if (!_objectGroup.empty() && _pipe) {
        std::string sessionId;
        {
            std::lock_guard<std::mutex> lock(_lock);
            sessionId = _sessionId;
        }
        _pipe->Post("Runtime.releaseObjectGroup", {{"objectGroup", _objectGroup}}, sessionId);
    }
    _objectGroup = "zun-document-" + std::to_string(++_documents);
}

void ChromiumSession::DeliverClick(const Json& params) {
    const std::string binding = TextField(params, "name");
    if (binding == kKeyBinding) {
        DeliverKey(TextField(params, "payload"));
        return;
    }
    if (binding != kClickBinding) return;
    // The payload is checked like everything else that comes from the page.
    const Json payload = ParseReceived(TextField(params, "payload"));
    const std::optional<int64_t> connection = IntegerField(payload, "c");
    const std::optional<int64_t> target = IntegerField(payload, "t");
    const std::optional<int64_t> context = IntegerField(params, "executionContextId");
    if (!connection || !target || !context || *target < 0 || *target > INT32_MAX) {
        ZUN_TRACE("ZUN_E: ChromiumSession: click report not understood: dropped");
        return;
    }
    if (_clickWorldGroup != _objectGroup || *context != _clickWorld) {
        ZUN_TRACE("ZUN_E: ChromiumSession: click report from outside the engine's world: dropped");
        return;
    }
    auto it = *connection > 0 && *connection <= INT32_MAX ? _clicks.find(static_cast<int>(*connection)) : _clicks.end();
    if (it == _clicks.end()) return;
    dom::ClickSink* sink = it->second;
    Json reply;
    const Status status = Command("Runtime.evaluate",
                                  {{"expression", "window.__zunClickTargets[" + std::to_string(*target) + "]"},
                                   {"contextId", _clickWorld},
                                   {"objectGroup", _objectGroup}},
                                  &reply);
    if (status != 0) return;
    const Json& result = ObjectField(reply, "result");
    const std::string objectId = TextField(result, "subtype") == "node" ? TextField(result, "objectId") : "";
    dom::ElementRef source = objectId.empty() ? nullptr : MakeRemoteElement(shared_from_this(), objectId);
    // The page has already kept the click from its default action: a binding
    // cannot return the sink's answer in time.
    sink->OnClick(source);
}

Status ChromiumSession::CallOnObject(const std::string& objectId, const std::string& function,
                                     const Json& arguments, bool byValue, Json* reply) {
    Json params = {{"objectId", objectId},
                   {"functionDeclaration", function},
                   {"arguments", CallArguments(arguments)},
                   {"returnByValue", byValue}};
    if (!byValue) params["objectGroup"] = _objectGroup;
    const Status status = Command("Runtime.callFunctionOn", params, reply);
    if (status != 0) return status;
    return FieldOf(*reply, "exceptionDetails") != nullptr ? dom::kDomCallFailed : 0;
}

Status ChromiumSession::CallFunction(const std::string& objectId, const std::string& function,
                                     const Json& arguments, Json* value) {
    Json reply;
    const Status status = CallOnObject(objectId, function, arguments, true, &reply);
    if (status != 0) return status;
    if (value != nullptr) {
        const Json* field = FieldOf(ObjectField(reply, "result"), "value");
        *value = field != nullptr ? *field : Json();
    }
    return 0;
}

Status ChromiumSession::CallForObject(const std::string& objectId, const std::string& function,
                                      const Json& arguments, std::string* resultObjectId) {
    Json reply;
    const Status status = CallOnObject(objectId, function, arguments, false, &reply);
    if (status != 0) return status;
    *resultObjectId = TextField(ObjectField(reply, "result"), "objectId");
    return 0;
}

Status ChromiumSession::EvaluateForObject(const std::string& expression, std::string* resultObjectId) {
    Json reply;
    const Status status = Command(
        "Runtime.evaluate", {{"expression", expression}, {"returnByValue", false}, {"objectGroup", _objectGroup}},
        &reply);
    if (status != 0) return status;
    if (FieldOf(reply, "exceptionDetails") != nullptr) return dom::kDomCallFailed;
    *resultObjectId = TextField(ObjectField(reply, "result"), "objectId");
    return 0;
}

Status ChromiumSession::Evaluate(const std::string& expression, Json* value, std::chrono::milliseconds limit) {
    Json reply;
    const Status status =
        Command("Runtime.evaluate", {{"expression", expression}, {"returnByValue", true}}, &reply, limit);
    if (status != 0) return status;
    if (FieldOf(reply, "exceptionDetails") != nullptr) return dom::kDomCallFailed;
    if (value != nullptr) {
        const Json* field = FieldOf(ObjectField(reply, "result"), "value");
        *value = field != nullptr ? *field : Json();
    }
    return 0;
}

Status ChromiumSession::Alert(const std::string& text) {
    // Returns when the box is closed: by the person at a visible window, at
    // once for a headless one.
    return Evaluate("window.alert(" + Json(text).dump() + ")", nullptr, kAlertLimit);
}

Status ChromiumSession::OpenWindow(const std::string& url) {
    if (!_pipe) return kBrowserGone;
    return _pipe->Call("Target.createTarget", {{"url", url}, {"newWindow", true}}, "", nullptr);
}

Status ChromiumSession::ClickWorld(int64_t* context) {
    if (_clickWorldGroup != _objectGroup || _clickWorld == 0) {
        std::string frameId;
        {
            std::lock_guard<std::mutex> lock(_lock);
            frameId = _mainFrameId;
        }
        Json reply;
        const Status status = Command("Page.createIsolatedWorld",
                                      {{"frameId", frameId}, {"worldName", kClickWorld}}, &reply);
        if (status != 0) return status;
        const std::optional<int64_t> created = IntegerField(reply, "executionContextId");
        if (!created) return dom::kDomCallFailed;
        _clickWorld = *created;
        _clickWorldGroup = _objectGroup;
    }
    *context = _clickWorld;
    return 0;
}

Status ChromiumSession::ConnectClick(const std::string& objectId, dom::ClickSink& sink, int* connection) {
    // The element as the engine's world sees it: the same node, reached
    // through its backend id.
    int64_t world = 0;
    Status status = ClickWorld(&world);
    Json node;
    if (status == 0) status = Command("DOM.describeNode", {{"objectId", objectId}}, &node);
    if (status != 0) return status;
    const std::optional<int64_t> backendNodeId = IntegerField(ObjectField(node, "node"), "backendNodeId");
    if (!backendNodeId) return dom::kDomCallFailed;
    Json resolved;
    status = Command("DOM.resolveNode",
                     {{"backendNodeId", *backendNodeId}, {"executionContextId", world}, {"objectGroup", _objectGroup}},
                     &resolved);
    if (status != 0) return status;
    const std::string worldObjectId = TextField(ObjectField(resolved, "object"), "objectId");
    if (worldObjectId.empty()) return dom::kDomCallFailed;
    const int id = _nextClick++;
    status = CallFunction(worldObjectId, kClickListener, Json::array({id}), nullptr);
    if (status != 0) return status;
    _clicks[id] = &sink;
    *connection = id;
    return 0;
}

void ChromiumSession::DisconnectClick(int connection) {
    _clicks.erase(connection);
    // A document that is gone took its listeners with it.
    if (_closed || !_pipe || !_pipe->IsAlive() || _clickWorldGroup != _objectGroup || _clickWorld == 0) return;
    const std::string id = std::to_string(connection);
    Command("Runtime.evaluate",
            {{"expression", "(() => { const h = window.__zunClickHandlers && window.__zunClickHandlers[" + id +
                                "]; if (h) { h[0].removeEventListener('click', h[1]); "
                                "delete window.__zunClickHandlers[" + id + "]; } })()"},
             {"contextId", _clickWorld}});
}

Status ChromiumSession::ClickAt(const std::string& objectId) {
    Status status = Command("DOM.scrollIntoViewIfNeeded", {{"objectId", objectId}});
    Json box;
    if (status == 0) status = Command("DOM.getBoxModel", {{"objectId", objectId}}, &box);
    if (status != 0) return status;
    const Json& quad = ArrayField(ObjectField(box, "model"), "content");
    const auto left = NumberAt(quad, 0);
    const auto top = NumberAt(quad, 1);
    const auto right = NumberAt(quad, 4);
    const auto bottom = NumberAt(quad, 5);
    if (!left || !top || !right || !bottom) return dom::kDomCallFailed;
    const double x = (*left + *right) / 2;
    const double y = (*top + *bottom) / 2;
    for (const char* type : {"mouseMoved", "mousePressed", "mouseReleased"}) {
        Json event = {{"type", type}, {"x", x}, {"y", y}};
        if (std::strcmp(type, "mouseMoved") != 0) {
            event["button"] = "left";
            event["clickCount"] = 1;
        }
        status = Command("Input.dispatchMouseEvent", event);
        if (status != 0) return status;
    }
    return 0;
}

Status ChromiumSession::PressKey(const std::string& key, int windowsKeyCode, int modifiers) {
    for (const char* type : {"keyDown", "keyUp"}) {
        const Status status = Command("Input.dispatchKeyEvent", {{"type", type},
                                                                 {"key", key},
                                                                 {"code", key},
                                                                 {"windowsVirtualKeyCode", windowsKeyCode},
                                                                 {"modifiers", modifiers}});
        if (status != 0) return status;
    }
    return 0;
}

Status ChromiumSession::GetWindowBounds(ui::Rect* bounds, std::string* state) {
    if (!_pipe || _windowId == 0) return kBrowserGone;
    Json reply;
    const Status status = _pipe->Call("Browser.getWindowBounds", {{"windowId", _windowId}}, "", &reply);
    if (status != 0) return status;
    const Json& values = ObjectField(reply, "bounds");
    const auto left = IntegerField(values, "left").value_or(0);
    const auto top = IntegerField(values, "top").value_or(0);
    bounds->left = static_cast<int32_t>(left);
    bounds->top = static_cast<int32_t>(top);
    bounds->right = static_cast<int32_t>(left + IntegerField(values, "width").value_or(0));
    bounds->bottom = static_cast<int32_t>(top + IntegerField(values, "height").value_or(0));
    *state = TextField(values, "windowState");
    return 0;
}

std::string ChromiumSession::TargetId() {
    std::lock_guard<std::mutex> lock(_lock);
    return _targetId;
}

int ChromiumSession::PageCount() {
    Json targets;
    if (!_pipe || _pipe->Call("Target.getTargets", Json::object(), "", &targets) != 0) return -1;
    int pages = 0;
    for (const Json& target : ArrayField(targets, "targetInfos")) {
        pages += TextField(target, "type") == "page" ? 1 : 0;
    }
    return pages;
}

std::string ChromiumSession::LastDialogMessage() {
    std::lock_guard<std::mutex> lock(_lock);
    return _lastDialogMessage;
}

}  // namespace zun::platform::posix
