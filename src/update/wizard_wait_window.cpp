// The handshake's wait window is the wizard controller's wait wizard.
#include "base/trace.h"
#include "update/wait_window_host.h"
#include "wizard/wizard_controller.h"
#include "wizard/wizard_window_registry.h"

namespace zun {
namespace {

class WizardWaitWindow final : public WaitWindowHost {
public:
    void ResetWaitClose() override { TheWizardWindowRegistry().ResetWaitRequests(); }
    void RunWaitWizard() override {
        const Status status = TheWizardController().RunWaitWizard();
        if (status != 0) ZUN_TRACE("ZUN_E: DoInitialHandShake(): RunWaitWizard(): Failure 0x%08X", status);
    }
    WindowHandle GetRunningWizardHWND() override { return TheWizardWindowRegistry().RunningWizard(); }
    void CloseRunningWizard() override { TheWizardWindowRegistry().CloseRunningWizard(); }
    void SetConnectionTimer(bool running) override { TheWizardWindowRegistry().SetConnectionTimer(running); }
};

}  // namespace

WaitWindowHost& TheWizardWaitWindow() {
    static WizardWaitWindow waitWindow;
    return waitWindow;
}

}  // namespace zun
