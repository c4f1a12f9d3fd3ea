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
    // Sends WM_CLOSE to the stored window as it is.
    void CloseRunningWizard();

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

private:
    std::mutex _wizardWindowLock;
    std::atomic<WindowHandle> _runningWizard{nullptr};
    WindowHandle _runningEasterEgg = nullptr;
    std::atomic<int32_t> _wizardMode{0};
};

WizardController& TheWizardController();

}  // namespace zun
