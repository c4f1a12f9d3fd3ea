#include "wizard/wizard_window_registry.h"

#include <cstdint>

#include "base/trace.h"
#include "wizard/wait_dialog_notice.h"

namespace zun {

namespace ui = platform::ui;

namespace {

unsigned HandleValue(ui::WindowHandle window) {
    return static_cast<unsigned>(reinterpret_cast<uintptr_t>(window));
}

ui::WindowHandle IfWindow(ui::WindowHandle window) { return ui::IsWindow(window) ? window : nullptr; }

}  // namespace

WizardWindowRegistry& TheWizardWindowRegistry() {
    static WizardWindowRegistry windows;
    return windows;
}

void WizardWindowRegistry::WizardOpened(WindowHandle window, bool waitWindow) {
    bool closeNow = false;
    {
        std::lock_guard<std::mutex> lock(_lock);
        _wizard = window;
        closeNow = waitWindow && _waitCloseRequested;
    }
    if (!waitWindow) return;
    if (closeNow) {
        // The handshake's worker finished before this window existed. The
        // close waits for the dialog's loop, which its initialisation starts.
        ZUN_TRACE("ZUN: WizardWindowRegistry::WizardOpened(): close requested before the window existed");
        ui::PostWindowTask(window, [window] { ui::SendWindowMessage(window, ui::kMsgClose, 0, 0, nullptr); });
    }
    ApplyConnectionTimer(window);
}

void WizardWindowRegistry::WizardClosed(WindowHandle window) {
    std::lock_guard<std::mutex> lock(_lock);
    if (_wizard == window) _wizard = nullptr;
}

WizardWindowRegistry::WindowHandle WizardWindowRegistry::RunningWizard() {
    WindowHandle window;
    {
        std::lock_guard<std::mutex> lock(_lock);
        window = _wizard;
    }
    return IfWindow(window);
}

bool WizardWindowRegistry::CloseRunningWizard() {
    WindowHandle window;
    {
        std::lock_guard<std::mutex> lock(_lock);
        _waitCloseRequested = true;
        window = _wizard;
    }
    if (window == nullptr) return false;
    return ui::SendWindowMessage(window, ui::kMsgClose, 0, 0, nullptr) == 0;
}

void WizardWindowRegistry::ResetWaitRequests() {
    std::lock_guard<std::mutex> lock(_lock);
    _waitCloseRequested = false;
    _connectionTimerWanted = false;
}

void WizardWindowRegistry::SetConnectionTimer(bool running) {
    WindowHandle window;
    {
        std::lock_guard<std::mutex> lock(_lock);
        _connectionTimerWanted = running;
        window = _wizard;
    }
    // Posted, not sent: the worker never waits for the window's thread, and
    // each task reads the wish as it stands when it runs, so the last
    // request wins whatever the dialog's own start did meanwhile.
    if (window != nullptr) {
        ui::PostWindowTask(window, [this, window] { ApplyConnectionTimer(window); });
    }
}

void WizardWindowRegistry::ApplyConnectionTimer(WindowHandle window) {
    bool wanted;
    {
        std::lock_guard<std::mutex> lock(_lock);
        wanted = _connectionTimerWanted;
    }
    if (wanted) {
        const Status set = ui::SetWindowTimer(window, kConnectionTimerId, kConnectionTimerPeriodMs);
        if (set != 0) ZUN_TRACE("ZUN_E: WizardWindowRegistry::ApplyConnectionTimer(): SetTimer(): Failure 0x%08X", set);
    } else {
        // A timer that never ran is no failure.
        ui::KillWindowTimer(window, kConnectionTimerId);
    }
}

void WizardWindowRegistry::AboutOpened(WindowHandle window) {
    ZUN_TRACE("ZUN: Prolog WizardController::SetRunningEasterEggHWND()");
    {
        std::lock_guard<std::mutex> lock(_lock);
        _about = window;
    }
    ZUN_TRACE("ZUN: WizardController::SetRunningEasterEggHWND(): Value is %u", HandleValue(window));
    ZUN_TRACE("ZUN: Epilog WizardController::SetRunningEasterEggHWND()");
}

void WizardWindowRegistry::AboutClosed(WindowHandle window) {
    std::lock_guard<std::mutex> lock(_lock);
    if (_about == window) _about = nullptr;
}

WizardWindowRegistry::WindowHandle WizardWindowRegistry::RunningAbout() {
    WindowHandle window;
    {
        std::lock_guard<std::mutex> lock(_lock);
        window = _about;
    }
    ZUN_TRACE("ZUN: Prolog WizardController::GetRunningEasterEggHWND() - value is %u", HandleValue(window));
    window = IfWindow(window);
    ZUN_TRACE("ZUN: Epilog WizardController::GetRunningEasterEggHWND()");
    return window;
}

}  // namespace zun
