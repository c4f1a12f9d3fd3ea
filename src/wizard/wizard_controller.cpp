#include "wizard/wizard_controller.h"

#include <cstring>

#include "base/trace.h"
#include "wizard/wait_dialog_notice.h"
#include "wizard/wizard_mode.h"

namespace zun {

namespace ui = platform::ui;

namespace {

unsigned HandleValue(ui::WindowHandle window) {
    return static_cast<unsigned>(reinterpret_cast<uintptr_t>(window));
}

}  // namespace

WizardController& TheWizardController() {
    static WizardController controller;
    return controller;
}

WaitPageWizard& TheWaitPageWizard() { return TheWizardController(); }

void WizardController::SetRunningWizardHWND(WindowHandle window) {
    std::lock_guard<std::mutex> lock(_wizardWindowLock);
    _runningWizard.store(window);
}

WizardController::WindowHandle WizardController::GetRunningWizardHWND() {
    WindowHandle window = _runningWizard.load();
    return ui::IsWindow(window) ? window : nullptr;
}

void WizardController::CloseRunningWizard() {
    {
        std::lock_guard<std::mutex> lock(_wizardWindowLock);
        _waitCloseRequested = true;
    }
    // Outside the lock: the dialog's thread takes it while it initialises.
    ui::SendWindowMessage(_runningWizard.load(), ui::kMsgClose, 0, 0, nullptr);
}

void WizardController::ResetWaitClose() {
    std::lock_guard<std::mutex> lock(_wizardWindowLock);
    _waitCloseRequested = false;
}

bool WizardController::IsWaitCloseRequested() {
    std::lock_guard<std::mutex> lock(_wizardWindowLock);
    return _waitCloseRequested;
}

// Both sides decide under the lock, so the window and the wish cannot cross:
// whichever comes second sees the other. Setting or killing a timer does
// not wait for the window's thread.
Status WizardController::SetConnectionTimer(bool running) {
    std::lock_guard<std::mutex> lock(_wizardWindowLock);
    _connectionTimerWanted = running;
    const WindowHandle window = _runningWizard.load();
    if (!ui::IsWindow(window)) return 0;
    return running ? ui::SetWindowTimer(window, kConnectionTimerId, kConnectionTimerPeriodMs)
                   : ui::KillWindowTimer(window, kConnectionTimerId);
}

void WizardController::StartWantedConnectionTimer(WindowHandle window) {
    std::lock_guard<std::mutex> lock(_wizardWindowLock);
    if (!_connectionTimerWanted) return;
    const Status set = ui::SetWindowTimer(window, kConnectionTimerId, kConnectionTimerPeriodMs);
    if (set != 0) ZUN_TRACE("ZUN_E: WizardController::StartWantedConnectionTimer(): SetTimer(): Failure 0x%08X", set);
}

void WizardController::SetRunningEasterEggHWND(WindowHandle window) {
    ZUN_TRACE("ZUN: Prolog WizardController::SetRunningEasterEggHWND()");
    _runningEasterEgg = window;
    ZUN_TRACE("ZUN: WizardController::SetRunningEasterEggHWND(): Value is %u", HandleValue(window));
    ZUN_TRACE("ZUN: Epilog WizardController::SetRunningEasterEggHWND()");
}

WizardController::WindowHandle WizardController::GetRunningEasterEggHWND() {
    ZUN_TRACE("ZUN: Prolog WizardController::GetRunningEasterEggHWND() - value is %u",
              HandleValue(_runningEasterEgg));
    WindowHandle window = ui::IsWindow(_runningEasterEgg) ? _runningEasterEgg : nullptr;
    ZUN_TRACE("ZUN: Epilog WizardController::GetRunningEasterEggHWND()");
    return window;
}

ui::ModuleInstance WizardController::GetModuleInstance() { return ui::GetModuleInstance(); }

Status WizardController::BuildPostDataVariant(platform::PostDataArgument* out, const char* body) {
    ZUN_TRACE("ZUN: Prolog WizardController::BuildPostDataVariant()");
    Status status = ZUN_E_INVALID_ARG;
    if (out != nullptr && body != nullptr) {
        status = out->Assign(reinterpret_cast<const uint8_t*>(body), std::strlen(body));
        if (status != 0) {
            ZUN_TRACE("ZUN_E: WizardController::BuildPostDataVariant(): Assign(): Failure %u", status);
        }
    }
    ZUN_TRACE("ZUN: Epilog WizardController::BuildPostDataVariant()");
    return status;
}

bool WizardController::UnregisterHostWindowClasses() {
    ui::UnregisterHostWindowClasses();
    return true;
}

bool WizardController::ShowsWaitPage() const { return IsWaitMode(GetWizardMode()); }

void WizardController::AnswerWaitPage(bool retry) {
    const WindowHandle wizard = GetRunningWizardHWND();
    WaitDialogNotice progress{nullptr, nullptr, 1, 100, kProgressUpdate};
    ui::SendWindowMessage(wizard, WM_WAITDIALOGNOTICE, DOWNLOADPROGRESS, reinterpret_cast<intptr_t>(&progress),
                          nullptr);
    ui::SendWindowMessage(wizard, WM_WAITDIALOGNOTICE, CONNECTIONERROR_BTNCLK,
                          retry ? kWaitAnswerRetry : kWaitAnswerCancel, nullptr);
}

}  // namespace zun
