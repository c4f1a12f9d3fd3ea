// One browser process for one dialog, attached to its page: the DevTools
// session the browser control and its document objects talk through. Events
// of the page are handed to the dialog's thread; the few that must be
// answered while the dialog's thread waits for a command (a paused request,
// a script dialog) are answered on the reader thread.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "platform/browser.h"
#include "platform/posix/devtools_pipe.h"

namespace zun::platform::posix {

class ChromiumSession : public std::enable_shared_from_this<ChromiumSession> {
public:
    ChromiumSession(ui::WindowHandle dialog, browser::BrowserEvents& events);
    ~ChromiumSession();

    // Starts the browser and attaches to its page.
    Status Open();
    // Ends the browser; no event is delivered afterwards.
    void Close();

    Status Navigate(const char* url, const std::vector<uint8_t>* body, const char* headers);
    // Runtime calls on the page. `function` is called with `this` the remote
    // object and the JSON `arguments` as plain values; the result comes back
    // as its value, or as a remote object id ("" for null/undefined).
    Status CallFunction(const std::string& objectId, const std::string& function, const Json& arguments,
                        Json* value);
    Status CallForObject(const std::string& objectId, const std::string& function, const Json& arguments,
                         std::string* resultObjectId);
    Status EvaluateForObject(const std::string& expression, std::string* resultObjectId);
    Status Evaluate(const std::string& expression, Json* value, bool waitWithoutLimit = false);
    Status OpenWindow(const std::string& url);

    // Click connections: the page calls back through a binding; the sink
    // runs on the dialog's thread.
    Status ConnectClick(const std::string& objectId, dom::ClickSink& sink, int* connection);
    void DisconnectClick(int connection);

    // A user's mouse click at the centre of the element.
    Status ClickAt(const std::string& objectId);
    std::string LastDialogMessage();
    int PageCount();
    bool IsHeadless() const { return _headless; }
    int ProcessId() const { return _pipe ? _pipe->ProcessId() : -1; }

private:
    void OnEvent(const std::string& method, const Json& params, const std::string& sessionId);
    // On the dialog's thread.
    void Deliver(const std::string& method, const Json& params);
    void DeliverClick(const Json& params);
    Status Command(const std::string& method, const Json& params, Json* result = nullptr);

    struct PendingPost {
        std::vector<uint8_t> body;
        std::vector<std::pair<std::string, std::string>> headers;
    };

    ui::WindowHandle _dialog;
    browser::BrowserEvents& _events;
    bool _headless = true;
    std::string _profileDir;
    std::unique_ptr<DevToolsPipe> _pipe;
    bool _closed = false;  // dialog thread

    std::mutex _lock;  // guards the members below, shared with the reader thread
    std::string _sessionId;
    std::string _mainFrameId;
    std::unique_ptr<PendingPost> _pendingPost;
    std::string _lastDialogMessage;

    // Dialog thread only.
    std::string _currentUrl;
    std::map<int, dom::ClickSink*> _clicks;
    int _nextClick = 1;
    int _requestsSeen = 0;
    int _requestsDone = 0;
    bool _loading = false;
};

}  // namespace zun::platform::posix
