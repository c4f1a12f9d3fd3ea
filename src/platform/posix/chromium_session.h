// A dialog's page in a browser process, attached over DevTools: the session
// the browser control and its document objects talk through. The process is
// started for the dialog, or kept from the previous dialog of a
// shared-browser scope (browser_reuse.h). Events
// of the page are handed to the dialog's thread; the few that must be
// answered while the dialog's thread waits for a command (a paused request,
// a script dialog) are answered on the reader thread.
//
// The browser's window is the dialog's visible frame: it follows the
// dialog's placement, a person closing it sends the dialog WM_CLOSE, Esc
// pressed in the page sends it IDCANCEL, and Ctrl+I and F1 stand for clicks
// on the status bar's lock and zone icons.
#pragma once

#include <chrono>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "platform/browser.h"
#include "platform/posix/chromium_process.h"
#include "platform/posix/devtools_pipe.h"

namespace zun::platform::posix {

class ChromiumSession : public std::enable_shared_from_this<ChromiumSession> {
public:
    ChromiumSession(ui::WindowHandle dialog, browser::BrowserEvents& events);
    ~ChromiumSession();

    // Attaches to a page of the kept browser, or starts a browser and
    // attaches to its page.
    Status Open();
    // Attaches to a page of a peer in this process instead of a browser
    // (see DevToolsPipe::StartWithPeer); Pipe() then takes its messages.
    Status OpenWithPeer(DevToolsPipe::CommandWriter writer);
    DevToolsPipe* Pipe() { return _pipe; }
    // Leaves the page: the browser is kept for the next dialog or ended. No
    // event is delivered afterwards.
    void Close();

    Status Navigate(const char* url, const std::vector<uint8_t>* body, const char* headers);
    // Runtime calls on the page. `function` is called with `this` the remote
    // object and the JSON `arguments` as plain values; the result comes back
    // as its value, or as a remote object id ("" for null/undefined). Remote
    // objects belong to the shown document and are released once the next
    // document has loaded.
    Status CallFunction(const std::string& objectId, const std::string& function, const Json& arguments,
                        Json* value);
    Status CallForObject(const std::string& objectId, const std::string& function, const Json& arguments,
                         std::string* resultObjectId);
    Status EvaluateForObject(const std::string& expression, std::string* resultObjectId);
    Status Evaluate(const std::string& expression, Json* value,
                    std::chrono::milliseconds limit = kCommandLimit);
    // The page's modal alert with `text` (UTF-8); returns when it is closed.
    Status Alert(const std::string& text);
    Status OpenWindow(const std::string& url);
    // The top document's address as the browser last reported it (dialog
    // thread).
    const std::string& CurrentUrl() const { return _currentUrl; }

    // Click connections: the page calls back through a binding; the sink
    // runs on the dialog's thread.
    Status ConnectClick(const std::string& objectId, dom::ClickSink& sink, int* connection);
    void DisconnectClick(int connection);

    // What a person does: a mouse click at the centre of the element, a key
    // pressed and released in the page.
    Status ClickAt(const std::string& objectId);
    // `modifiers` as the protocol counts them: 1 Alt, 2 Ctrl, 4 Meta, 8 Shift.
    Status PressKey(const std::string& key, int windowsKeyCode, int modifiers = 0);
    // The browser window's bounds and state ("normal", "minimized", ...).
    Status GetWindowBounds(ui::Rect* bounds, std::string* state);
    // The page's target, as other DevTools clients name it.
    std::string TargetId();
    std::string LastDialogMessage();
    int PageCount();
    bool IsHeadless() const { return _headless; }
    int ProcessId() const { return _pipe ? _pipe->ProcessId() : -1; }

private:
    // Takes `process` and attaches to its blank page; on failure the process
    // is ended.
    Status AttachTo(std::unique_ptr<ChromiumProcess> process);
    Status Attach();
    // Learns the window's frame (once per browser) and the display's work
    // area from the page.
    void MeasureWindow();
    void FollowDialog(const ui::Rect& rect, bool inSight);
    // Shows a dialog without a browser of its own (the About box) as a
    // message box of the page.
    void PresentDialog(ui::WindowHandle dialog);
    // Shows the dialog's progress bar on the engine's own pages.
    void ShowProgress(int32_t percent);
    // `attachment` numbers the process the event came from.
    void OnEvent(int attachment, const std::string& method, const Json& params, const std::string& sessionId);
    void OnPausedRequest(const Json& params, const std::string& sessionId, std::unique_lock<std::mutex>& lock);
    // On the dialog's thread.
    void Deliver(int attachment, const std::string& method, const Json& params);
    void DeliverClick(const Json& params);
    // A key of the person's that stands for a click of the dialog's.
    void DeliverKey(const std::string& key);
    void StartNewObjectGroup();
    // The engine's click world in the shown document, created on first use.
    Status ClickWorld(int64_t* context);
    Status Command(const std::string& method, const Json& params, Json* result = nullptr,
                   std::chrono::milliseconds limit = kCommandLimit);
    Status CallOnObject(const std::string& objectId, const std::string& function, const Json& arguments,
                        bool byValue, Json* reply);

    struct PendingPost {
        std::vector<uint8_t> body;
        std::vector<std::pair<std::string, std::string>> headers;
    };

    ui::WindowHandle _dialog;
    browser::BrowserEvents& _events;
    bool _headless = true;
    std::unique_ptr<ChromiumProcess> _process;
    DevToolsPipe* _pipe = nullptr;  // the process's, while attached
    bool _closed = false;  // dialog thread

    std::mutex _lock;  // guards the members below, shared with the reader thread
    std::string _sessionId;
    std::string _targetId;
    std::string _mainFrameId;
    std::unique_ptr<PendingPost> _pendingPost;
    std::string _lastDialogMessage;

    // Dialog thread only.
    int _attachment = 0;  // the processes attached to so far
    int64_t _windowId = 0;
    std::string _currentUrl;
    bool _ownPage = false;  // the shown page is one of the engine's own
    std::map<int, dom::ClickSink*> _clicks;
    int64_t _clickWorld = 0;
    std::string _clickWorldGroup;  // the object group of the document it belongs to
    int _nextClick = 1;
    std::string _objectGroup;
    int _documents = 0;
    int _requestsSeen = 0;
    int _requestsDone = 0;
    bool _loading = false;
};

}  // namespace zun::platform::posix
