#include "wizard/wizard_controller.h"

#include "wizard/wait_dialog_notice.h"
#include "wizard/wizard_mode.h"
#include "wizard/wizard_window_registry.h"

namespace zun {

namespace ui = platform::ui;

WizardController& TheWizardController() {
    static WizardController controller;
    return controller;
}

WaitPageWizard& TheWaitPageWizard() { return TheWizardController(); }

bool WizardController::ShowsWaitPage() const { return IsWaitMode(GetWizardMode()); }

bool WizardController::IsWizardRunning() { return TheWizardWindowRegistry().RunningWizard() != nullptr; }

void WizardController::AnswerWaitPage(bool retry) {
    const ui::WindowHandle wizard = TheWizardWindowRegistry().RunningWizard();
    WaitDialogNotice progress{nullptr, nullptr, 1, 100, kProgressUpdate};
    ui::SendWindowMessage(wizard, WM_WAITDIALOGNOTICE, DOWNLOADPROGRESS, reinterpret_cast<intptr_t>(&progress),
                          nullptr);
    ui::SendWindowMessage(wizard, WM_WAITDIALOGNOTICE, CONNECTIONERROR_BTNCLK,
                          retry ? kWaitAnswerRetry : kWaitAnswerCancel, nullptr);
}

}  // namespace zun
