// One browser process, its DevTools pipe and the profile folder it writes
// to. A browser control attaches to one page of it at a time and receives
// the pipe's events while it is attached; a process that outlives its
// control (see browser_reuse.h) serves the next one.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/posix/devtools_pipe.h"
#include "platform/ui.h"

namespace zun::platform::posix {

// The empty page an application window starts with and returns to between
// dialogs; no dialog ever shows it, so its events are not the dialog's.
inline constexpr char kStartPage[] = "data:text/html,";

// How a browser is started, as the environment asks now: the program, its
// flags and whether it is headless. Two controls share a process only when
// they would have started it alike.
struct BrowserLaunch {
    std::string program;
    std::vector<std::string> flags;
    std::string temporaryFolder;
    bool headless = true;

    bool operator==(const BrowserLaunch&) const = default;
};

// Reads ZUN_BROWSER_PATH, ZUN_BROWSER_FLAGS, ZUN_BROWSER_HEADLESS (and the
// display variables) and TMPDIR. Fails when the flags leave a quote open.
Status ReadBrowserLaunch(BrowserLaunch* launch);

class ChromiumProcess {
public:
    ChromiumProcess();
    ~ChromiumProcess();
    ChromiumProcess(const ChromiumProcess&) = delete;
    ChromiumProcess& operator=(const ChromiumProcess&) = delete;

    // Starts the browser in a fresh profile under the launch's temporary
    // folder; a visible window opens where `window` is.
    Status Start(const BrowserLaunch& launch, const ui::Rect& window);
    // Talks to a peer in this process instead (see DevToolsPipe::StartWithPeer).
    void StartWithPeer(DevToolsPipe::CommandWriter writer);
    // Ends the browser and removes its profile. No event is delivered
    // once it returns.
    void Stop();

    DevToolsPipe& Pipe() { return *_pipe; }
    const BrowserLaunch& Launch() const { return _launch; }
    bool IsHeadless() const { return _launch.headless; }
    bool HasPeer() const { return _peer; }

    // The pipe's events go to `handler` from now on (null drops them). Once
    // this returns, the previous handler is not running and is not called
    // again.
    void Route(DevToolsPipe::EventHandler handler);

    // The page of the application window, once a control has found it; ""
    // before.
    const std::string& AppPage() const { return _appPage; }
    void SetAppPage(const std::string& targetId) { _appPage = targetId; }
    // The application window's frame: how much wider and taller the window
    // is than its page; unknown until a control has measured it.
    struct Frame {
        int32_t width = 0;
        int32_t height = 0;
    };
    bool HasFrame() const { return _frameKnown; }
    Frame WindowFrame() const { return _frame; }
    void SetFrame(const Frame& frame) {
        _frame = frame;
        _frameKnown = true;
    }

    // Brings the browser back to how it started, the application window
    // with an empty page and nothing else, for the next control; fails when
    // the browser does not answer or that window was closed.
    Status ClearPages();

private:
    void Deliver(const std::string& method, const Json& params, const std::string& sessionId);

    BrowserLaunch _launch;
    std::string _profileDir;
    bool _peer = false;
    std::string _appPage;
    Frame _frame;
    bool _frameKnown = false;
    std::recursive_mutex _routeLock;  // held while an event is delivered
    DevToolsPipe::EventHandler _handler;
    std::unique_ptr<DevToolsPipe> _pipe;
};

}  // namespace zun::platform::posix
