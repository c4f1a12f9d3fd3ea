// The engine's open modal windows as its threads share them: the running
// wizard window (purchase or wait), the running About box, and what the
// handshake's worker asks of a wait window that may not exist yet (that it
// close, that the connecting timer run).
//
// The lock rule: _lock guards the fields below and nothing else. No call that
// blocks on another thread (a send to a window, a join, a wait for an event)
// is made while it is held. The dialog's thread takes it while its window
// opens; a worker blocked in a send to that window while holding it would
// never be answered. Every operation decides under the lock and acts after
// it.
#pragma once

#include <mutex>

#include "base/status.h"
#include "platform/ui.h"

namespace zun {

class WizardWindowRegistry {
public:
    using WindowHandle = platform::ui::WindowHandle;

    WizardWindowRegistry() = default;
    WizardWindowRegistry(const WizardWindowRegistry&) = delete;
    WizardWindowRegistry& operator=(const WizardWindowRegistry&) = delete;

    // On the wizard dialog's thread, once its window exists. A wait window
    // then closes itself when a close request is pending and starts the
    // connecting timer when the worker wants it: the worker may have got
    // there before the window existed.
    void WizardOpened(WindowHandle window, bool waitWindow);
    // On the dialog's thread as its window goes. Forgets the window only
    // when it is still the one stored, so an older dialog never clears a
    // newer one.
    void WizardClosed(WindowHandle window);
    // The running wizard window, or null.
    WindowHandle RunningWizard();

    // Asks the running wizard window to close (WM_CLOSE, sent), and keeps
    // the request for a wait window that opens only afterwards. True when
    // a window took it.
    bool CloseRunningWizard();
    // Forgets a close request and the timer wish of an earlier handshake.
    void ResetWaitRequests();
    // Starts or stops the connecting timer on the wait window. The window's
    // own thread sets or kills it, in the order of the requests; a window
    // that opens later starts it itself while it is wanted.
    void SetConnectionTimer(bool running);

    void AboutOpened(WindowHandle window);
    void AboutClosed(WindowHandle window);
    // The running About box, or null.
    WindowHandle RunningAbout();

private:
    // On the window's thread: makes the timer follow the current wish.
    void ApplyConnectionTimer(WindowHandle window);

    std::mutex _lock;
    WindowHandle _wizard = nullptr;
    WindowHandle _about = nullptr;
    bool _waitCloseRequested = false;
    bool _connectionTimerWanted = false;
};

WizardWindowRegistry& TheWizardWindowRegistry();

}  // namespace zun
