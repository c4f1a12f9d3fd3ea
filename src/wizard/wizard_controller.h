// The engine-wide object through which the engine's modal windows find each
// other: the running wizard and About windows, the mode of the wizard it
// runs, and small services for the dialogs.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>

#include "base/status.h"
#include "dom/wait_page_wizard.h"
#include "platform/post_data.h"
#include "platform/ui.h"
#include "zunserver/zunserver.h"

namespace zun {

class WizardController final : public WaitPageWizard {
public:
    using WindowHandle = platform::ui::WindowHandle;

    WizardController() = default;
    WizardController(const WizardController&) = delete;
    WizardController& operator=(const WizardController&) = delete;

    // Written by the dialog's thread under the wizard-window lock, read by the
    // handshake's worker without one.
    void SetRunningWizardHWND(WindowHandle window);
    // Null when none is set or the window no longer exists.
    WindowHandle GetRunningWizardHWND();
    // Records a close request for the wait wizard, then sends WM_CLOSE to
    // the stored window as it is (a window that is gone is no error). The
    // request makes a wait wizard whose window opens only afterwards end
    // itself as soon as it is initialised: the handshake's worker may finish
    // before the wait window exists.
    void CloseRunningWizard();
    // Forgets an earlier close request; the handshake calls it before it
    // starts its worker.
    void ResetWaitClose();
    // The wizard dialog in a wait mode calls this right after it has stored
    // its window: true when a close request is pending.
    bool IsWaitCloseRequested();
    // Starts or stops the handshake's connecting timer on the wait window.
    // The wish is kept: a wait window that opens while the timer is wanted
    // starts it itself (StartWantedConnectionTimer), so that a network call
    // begun before the window existed still shows the contacting notice.
    // Returns the status of setting or killing the timer, 0 when no window
    // exists yet.
    Status SetConnectionTimer(bool running);
    // The wizard dialog in a wait mode calls this right after it has stored
    // its window.
    void StartWantedConnectionTimer(WindowHandle window);

    void SetRunningEasterEggHWND(WindowHandle window);
    WindowHandle GetRunningEasterEggHWND();

    int32_t GetWizardMode() const { return _wizardMode.load(); }
    void SetWizardMode(int32_t mode) { _wizardMode.store(mode); }

    bool ShowsWaitPage() const override;
    // Sends the running wizard window a progress notice at 1 %, which shows at
    // once that the click was taken, and then the button's answer.
    void AnswerWaitPage(bool retry) override;

    platform::ui::ModuleInstance GetModuleInstance();
    // The body's bytes, without terminator, as the browser's POST argument.
    // On failure `out` is left empty.
    Status BuildPostDataVariant(platform::PostDataArgument* out, const char* body);
    bool UnregisterHostWindowClasses();

    // The purchase wizard on the calling thread: opens the store with the
    // pre-fill POST built from `record`, and when the shopper closes the
    // window hands the last valid CartState back in record->cartStateOut
    // (the old block there is freed whatever the outcome) and saves the
    // shopper's data. `certificateBlob` (may be null) stays the caller's.
    // Returns 0.
    Status RunPurchaseWizard(GatewayRecord* record, bool plainPurchase, const char* certificateBlob);
    // The wait wizard on the calling thread, hidden until a notice or the
    // connection timer shows it, until the handshake's worker closes it.
    // Does nothing while a wizard window exists. Returns 0.
    Status RunWaitWizard();
    // The About box: kind 1 the affiliation page (nothing shown when
    // publisherID is null), 2 the engine page, 0 the bare box; any other
    // kind is ZUN_E_INVALID_ARG.
    Status RunEasterEgg(int32_t kind, const char* publisherID, const char* skuRefNum, const char* affiliateID,
                        const char* trackingID);

private:
    std::mutex _wizardWindowLock;
    std::atomic<WindowHandle> _runningWizard{nullptr};
    WindowHandle _runningEasterEgg = nullptr;
    std::atomic<int32_t> _wizardMode{0};
    bool _waitCloseRequested = false;     // under _wizardWindowLock
    bool _connectionTimerWanted = false;  // under _wizardWindowLock
};

WizardController& TheWizardController();

}  // namespace zun
