// The wait window as the handshake sees it: run on the calling thread while
// the worker talks to the store server, reached from the worker only through
// synchronous sends, timers and a close request.
#pragma once

#include "base/status.h"
#include "platform/ui.h"

namespace zun {

class WaitWindowHost {
public:
    using WindowHandle = platform::ui::WindowHandle;

    // Forgets a close request and a timer wish left from an earlier
    // handshake; called before the worker starts.
    virtual void ResetWaitClose() = 0;
    // Runs the wait window modally on the calling thread until it closes.
    virtual void RunWaitWizard() = 0;
    // The wait window, or null when none exists (not yet, or no more).
    virtual WindowHandle GetRunningWizardHWND() = 0;
    // Closes the wait window; when none exists yet, the one that opens next
    // closes at once, so a worker that ends early never leaves it hanging.
    virtual void CloseRunningWizard() = 0;
    // Starts or stops the connecting timer on the wait window, without
    // waiting for the window's thread. A window that opens while the timer
    // is wanted starts it itself, so that a network call begun before the
    // window existed still shows the contacting notice.
    virtual void SetConnectionTimer(bool running) = 0;

protected:
    ~WaitWindowHost() = default;
};

// The wizard controller's wait wizard: the engine's own wait window.
WaitWindowHost& TheWizardWaitWindow();

}  // namespace zun
