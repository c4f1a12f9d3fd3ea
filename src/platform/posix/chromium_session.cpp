#include "platform/posix/chromium_session.h"

#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <thread>

#include "base/trace.h"
#include "platform/posix/chromium_dom.h"
#include "platform/posix/embedded_origin.h"
#include "state/base64.h"

namespace zun::platform::posix {
namespace {

constexpr char kClickBinding[] = "__zunClick";
constexpr char kDefaultBrowser[] = "/usr/lib/chromium/chromium";

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
    if (state.value("securityState", "") != "secure") return browser::kLockUnsecure;
    const Json certificate = state.value("certificateSecurityState", Json::object());
    const std::string cipher = certificate.value("cipher", "");
    if (cipher.find("256") != std::string::npos || cipher.find("128") != std::string::npos ||
        cipher.find("CHACHA20") != std::string::npos) {
        return browser::kLockSecure128Bit;
    }
    if (cipher.find("56") != std::string::npos) return 4;
    if (cipher.find("40") != std::string::npos) return 3;
    return 5;  // secure, strength unknown
}

}  // namespace

ChromiumSession::ChromiumSession(ui::WindowHandle dialog, browser::BrowserEvents& events)
    : _dialog(dialog), _events(events) {}

ChromiumSession::~ChromiumSession() { Close(); }

Status ChromiumSession::Open() {
    _headless = ChooseHeadless();
    std::string base = EnvironmentValue("TMPDIR");
    if (base.empty()) base = "/tmp";
    std::string pattern = base + "/zun-browser-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) return ZUN_E_NOT_FOUND;
    _profileDir = pattern;

    std::string program = EnvironmentValue("ZUN_BROWSER_PATH");
    if (program.empty()) program = kDefaultBrowser;
    std::vector<std::string> arguments = {
        "--remote-debugging-pipe", "--disable-gpu", "--disable-quic", "--no-first-run",
        "--no-default-browser-check", "--disable-background-networking", "--disable-component-update",
        "--disable-sync", "--disable-features=AutofillServerCommunication,NetworkTimeServiceQuerying",
        "--user-data-dir=" + _profileDir + "/profile"};
    if (geteuid() == 0) arguments.push_back("--no-sandbox");
    std::istringstream extra(EnvironmentValue("ZUN_BROWSER_FLAGS"));
    for (std::string flag; extra >> flag;) arguments.push_back(flag);
    if (_headless) {
        arguments.push_back("--headless=new");
        arguments.push_back("about:blank");
    } else {
        ui::Rect rect;
        ui::GetWindowRect(_dialog, &rect);
        arguments.push_back("--window-size=" + std::to_string(rect.Width()) + "," + std::to_string(rect.Height()));
        arguments.push_back("--app=about:blank");
    }
    const std::vector<std::string> environment = {"XDG_CONFIG_HOME=" + _profileDir + "/config",
                                                  "XDG_CACHE_HOME=" + _profileDir + "/cache"};

    _pipe = std::make_unique<DevToolsPipe>(
        [this](const std::string& method, const Json& params, const std::string& sessionId) {
            OnEvent(method, params, sessionId);
        });
    ZUN_TRACE("ZUN: ChromiumSession::Open(): starting %s (%s)", program.c_str(), _headless ? "headless" : "window");
    Status status = _pipe->Start(program, arguments, environment);
    if (status != 0) {
        ZUN_TRACE("ZUN_E: ChromiumSession::Open(): Start(): Failure %u", status);
        return status;
    }
    // The page of the start window appears shortly after the browser is up.
    std::string targetId;
    for (int attempt = 0; attempt < 200 && targetId.empty(); ++attempt) {
        Json targets;
        status = _pipe->Call("Target.getTargets", Json::object(), "", &targets);
        if (status != 0) break;
        for (const Json& target : targets.value("targetInfos", Json::array())) {
            if (target.value("type", "") == "page") targetId = target.value("targetId", "");
        }
        if (targetId.empty()) std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
    if (targetId.empty()) {
        ZUN_TRACE("ZUN_E: ChromiumSession::Open(): no page: Failure %u", status == 0 ? ZUN_E_NOT_FOUND : status);
        return status == 0 ? ZUN_E_NOT_FOUND : status;
    }
    Json attached;
    status = _pipe->Call("Target.attachToTarget", {{"targetId", targetId}, {"flatten", true}}, "", &attached);
    if (status != 0) return status;
    {
        std::lock_guard<std::mutex> lock(_lock);
        _sessionId = attached.value("sessionId", "");
    }
    for (const char* domain : {"Page.enable", "Runtime.enable", "Network.enable", "Security.enable"}) {
        status = Command(domain, Json::object());
        if (status != 0) return status;
    }
    status = Command("Fetch.enable", FetchPatterns(false));
    if (status != 0) return status;
    status = Command("Runtime.addBinding", {{"name", kClickBinding}});
    if (status != 0) return status;
    Json tree;
    status = Command("Page.getFrameTree", Json::object(), &tree);
    if (status != 0) return status;
    std::lock_guard<std::mutex> lock(_lock);
    _mainFrameId = tree["frameTree"]["frame"].value("id", "");
    return 0;
}

void ChromiumSession::Close() {
    _closed = true;
    if (_pipe) _pipe->Stop();
    if (!_profileDir.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(_profileDir, ignored);
        _profileDir.clear();
    }
}

Status ChromiumSession::Command(const std::string& method, const Json& params, Json* result) {
    if (!_pipe) return kBrowserGone;
    std::string sessionId;
    {
        std::lock_guard<std::mutex> lock(_lock);
        sessionId = _sessionId;
    }
    return _pipe->Call(method, params, sessionId, result);
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
    const std::string error = result.value("errorText", "");
    if (error.empty()) return 0;
    ZUN_TRACE("ZUN_E: ChromiumSession::Navigate(): %s: %s", target.c_str(), error.c_str());
    return dom::kDomCallFailed;
}

void ChromiumSession::OnEvent(const std::string& method, const Json& params, const std::string& sessionId) {
    std::weak_ptr<ChromiumSession> weak = weak_from_this();
    auto toDialog = [this, weak](std::string name, Json values) {
        ui::PostWindowTask(_dialog, [weak, name = std::move(name), values = std::move(values)] {
            if (auto self = weak.lock()) self->Deliver(name, values);
        });
    };
    if (method.empty()) {
        toDialog("gone", Json::object());
        return;
    }
    std::unique_lock<std::mutex> lock(_lock);
    if (sessionId != _sessionId) return;  // windows the page opened, and the browser itself
    if (method == "Inspector.targetCrashed" || method == "Inspector.detached") {
        lock.unlock();
        toDialog("gone", Json::object());
        return;
    }
    if (method == "Fetch.requestPaused") {
        const Json request = params.value("request", Json::object());
        const std::string url = request.value("url", "");
        if (IsEmbeddedOriginUrl(url)) {
            lock.unlock();
            _pipe->Post("Fetch.fulfillRequest", EmbeddedResponse(params.value("requestId", ""), url), sessionId);
            return;
        }
        std::unique_ptr<PendingPost> post = std::move(_pendingPost);
        const std::string frameId = params.value("frameId", "");
        if (post && frameId != _mainFrameId) {
            _pendingPost = std::move(post);  // not the top frame's navigation
        }
        lock.unlock();
        Json continuation = {{"requestId", params.value("requestId", "")}};
        if (post) {
            Json headerList = Json::array();
            const Json original = request.value("headers", Json::object());
            for (auto& [name, value] : original.items()) {
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
        return;
    }
    if (method == "Page.javascriptDialogOpening") {
        _lastDialogMessage = params.value("message", "");
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

void ChromiumSession::Deliver(const std::string& method, const Json& params) {
    if (_closed) return;
    std::string mainFrame;
    {
        std::lock_guard<std::mutex> lock(_lock);
        mainFrame = _mainFrameId;
    }
    if (method == "gone") {
        _closed = true;
        _events.OnBrowserFailed(kBrowserGone);
    } else if (method == "Network.requestWillBeSent") {
        const bool topDocument = params.value("type", "") == "Document" && params.value("frameId", "") == mainFrame;
        if (topDocument) _events.OnBeforeNavigate2(EngineUrlOf(params["request"].value("url", "")).c_str());
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
        if (params.value("frameId", "") != mainFrame || !_loading) return;
        _loading = false;
        _events.OnDownloadComplete();
    } else if (method == "Page.frameNavigated") {
        const Json frame = params.value("frame", Json::object());
        if (!frame.contains("parentId")) {
            _currentUrl = EngineUrlOf(frame.value("url", "") + frame.value("urlFragment", ""));
        }
    } else if (method == "Page.loadEventFired") {
        if (_loading) {
            _loading = false;
            _events.OnDownloadComplete();
        }
        _events.OnDocumentComplete(_currentUrl.c_str());
    } else if (method == "Security.visibleSecurityStateChanged") {
        _events.OnSetSecureLockIcon(LockValueOf(params.value("visibleSecurityState", Json::object())));
    } else if (method == "Runtime.bindingCalled") {
        DeliverClick(params);
    }
}

void ChromiumSession::DeliverClick(const Json& params) {
    if (params.value("name", "") != kClickBinding) return;
    const Json payload = Json::parse(params.value("payload", ""), nullptr, false);
    if (!payload.is_object()) return;
    auto it = _clicks.find(payload.value("c", 0));
    if (it == _clicks.end()) return;
    dom::ClickSink* sink = it->second;
    Json reply;
    const Status status = Command("Runtime.evaluate",
                                  {{"expression", "window.__zunClickTargets[" + std::to_string(payload.value("t", 0)) + "]"},
                                   {"contextId", params.value("executionContextId", 0)}},
                                  &reply);
    if (status != 0) return;
    const std::string objectId = reply["result"].value("objectId", "");
    dom::ElementRef source = objectId.empty() ? nullptr : MakeRemoteElement(shared_from_this(), objectId);
    // The page has already kept the click from its default action: a binding
    // cannot return the sink's answer in time.
    sink->OnClick(source);
}

Status ChromiumSession::CallFunction(const std::string& objectId, const std::string& function,
                                     const Json& arguments, Json* value) {
    Json args = Json::array();
    for (const Json& argument : arguments) args.push_back({{"value", argument}});
    Json reply;
    const Status status = Command("Runtime.callFunctionOn",
                                  {{"objectId", objectId},
                                   {"functionDeclaration", function},
                                   {"arguments", args},
                                   {"returnByValue", true}},
                                  &reply);
    if (status != 0) return status;
    if (reply.contains("exceptionDetails")) return dom::kDomCallFailed;
    if (value != nullptr) *value = reply["result"].value("value", Json());
    return 0;
}

Status ChromiumSession::CallForObject(const std::string& objectId, const std::string& function,
                                      const Json& arguments, std::string* resultObjectId) {
    Json args = Json::array();
    for (const Json& argument : arguments) args.push_back({{"value", argument}});
    Json reply;
    const Status status = Command(
        "Runtime.callFunctionOn",
        {{"objectId", objectId}, {"functionDeclaration", function}, {"arguments", args}, {"returnByValue", false}},
        &reply);
    if (status != 0) return status;
    if (reply.contains("exceptionDetails")) return dom::kDomCallFailed;
    *resultObjectId = reply["result"].value("objectId", "");
    return 0;
}

Status ChromiumSession::EvaluateForObject(const std::string& expression, std::string* resultObjectId) {
    Json reply;
    const Status status = Command("Runtime.evaluate", {{"expression", expression}, {"returnByValue", false}}, &reply);
    if (status != 0) return status;
    if (reply.contains("exceptionDetails")) return dom::kDomCallFailed;
    *resultObjectId = reply["result"].value("objectId", "");
    return 0;
}

Status ChromiumSession::Evaluate(const std::string& expression, Json* value, bool waitWithoutLimit) {
    if (!_pipe) return kBrowserGone;
    std::string sessionId;
    {
        std::lock_guard<std::mutex> lock(_lock);
        sessionId = _sessionId;
    }
    Json reply;
    const Status status =
        _pipe->Call("Runtime.evaluate", {{"expression", expression}, {"returnByValue", true}}, sessionId, &reply,
                    waitWithoutLimit ? std::chrono::milliseconds(0) : std::chrono::milliseconds(15000));
    if (status != 0) return status;
    if (reply.contains("exceptionDetails")) return dom::kDomCallFailed;
    if (value != nullptr) *value = reply["result"].value("value", Json());
    return 0;
}

Status ChromiumSession::OpenWindow(const std::string& url) {
    if (!_pipe) return kBrowserGone;
    return _pipe->Call("Target.createTarget", {{"url", url}, {"newWindow", true}}, "", nullptr);
}

Status ChromiumSession::ConnectClick(const std::string& objectId, dom::ClickSink& sink, int* connection) {
    const int id = _nextClick++;
    const Status status = CallFunction(objectId, R"(function (id) {
        const handler = (event) => {
            event.preventDefault();
            const targets = (window.__zunClickTargets = window.__zunClickTargets || []);
            targets.push(event.target);
            __zunClick(JSON.stringify({c: id, t: targets.length - 1}));
        };
        this.addEventListener('click', handler);
        (window.__zunClickHandlers = window.__zunClickHandlers || {})[id] = [this, handler];
    })",
                                       Json::array({id}), nullptr);
    if (status != 0) return status;
    _clicks[id] = &sink;
    *connection = id;
    return 0;
}

void ChromiumSession::DisconnectClick(int connection) {
    _clicks.erase(connection);
    if (_closed || !_pipe || !_pipe->IsAlive()) return;
    Evaluate("(() => { const h = window.__zunClickHandlers && window.__zunClickHandlers[" + std::to_string(connection) +
                 "]; if (h) { h[0].removeEventListener('click', h[1]); delete window.__zunClickHandlers[" +
                 std::to_string(connection) + "]; } })()",
             nullptr);
}

Status ChromiumSession::ClickAt(const std::string& objectId) {
    Status status = Command("DOM.scrollIntoViewIfNeeded", {{"objectId", objectId}});
    Json box;
    if (status == 0) status = Command("DOM.getBoxModel", {{"objectId", objectId}}, &box);
    if (status != 0) return status;
    const Json quad = box["model"].value("content", Json::array());
    if (quad.size() < 8) return dom::kDomCallFailed;
    const double x = (quad[0].get<double>() + quad[4].get<double>()) / 2;
    const double y = (quad[1].get<double>() + quad[5].get<double>()) / 2;
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

int ChromiumSession::PageCount() {
    Json targets;
    if (!_pipe || _pipe->Call("Target.getTargets", Json::object(), "", &targets) != 0) return -1;
    int pages = 0;
    for (const Json& target : targets.value("targetInfos", Json::array())) {
        pages += target.value("type", "") == "page" ? 1 : 0;
    }
    return pages;
}

std::string ChromiumSession::LastDialogMessage() {
    std::lock_guard<std::mutex> lock(_lock);
    return _lastDialogMessage;
}

}  // namespace zun::platform::posix
