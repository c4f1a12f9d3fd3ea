// A wizard dialog run modally on a thread of its own, with the test thread in
// the role of the handshake's worker or of the person in front of the window.
// Work for the dialog's thread goes through Do(); the dialog's state is read
// there too.
#pragma once

#include <functional>

#include "ui/test_dialog.h"
#include "wizard/wizard_dialog.h"
#include "wizard/wizard_window_registry.h"

namespace zun::testing {

class WizardRun final : public DialogRunner {
public:
    // `prepare` fills the dialog's inputs on the dialog's thread before the
    // modal loop; `after` runs there once the loop has ended, before the
    // dialog is destroyed.
    explicit WizardRun(std::function<void(CWizardDialog&)> prepare,
                       std::function<void(CWizardDialog&)> after = nullptr) {
        Start([this, prepare, after] {
            CWizardDialog dialog;
            prepare(dialog);
            Record([&] { _dialog = &dialog; });
            const intptr_t code = dialog.DoModal(nullptr);
            if (after) after(dialog);
            Record([&] { _dialog = nullptr; });
            return code;
        });
    }

    ~WizardRun() override {
        if (platform::ui::WindowHandle window = Window()) {
            platform::ui::PostWindowTask(window, [window] { platform::ui::EndDialog(window, -1); });
        }
        Join();
    }

    // The dialog's window once it exists (null before and after), as the
    // handshake's worker finds it.
    platform::ui::WindowHandle Window() {
        {
            std::lock_guard<std::mutex> lock(_lock);
            if (_dialog == nullptr) return nullptr;
        }
        return TheWizardWindowRegistry().RunningWizard();
    }

    bool WaitForWindow(std::chrono::milliseconds limit = std::chrono::seconds(30)) {
        return PollUntil([this] { return platform::ui::IsWindow(Window()); }, limit);
    }

    // Runs `work` with the dialog on the dialog's thread and waits for it.
    bool Do(const std::function<void(CWizardDialog&)>& work) {
        CWizardDialog* dialog = nullptr;
        {
            std::lock_guard<std::mutex> lock(_lock);
            dialog = _dialog;
        }
        return dialog != nullptr && DialogRunner::Do(Window(), [dialog, work] { work(*dialog); });
    }

    // Checks `ready` on the dialog's thread until it holds.
    bool WaitUntil(const std::function<bool(CWizardDialog&)>& ready,
                   std::chrono::milliseconds limit = std::chrono::seconds(20)) {
        return PollUntil(
            [&] {
                bool holds = false;
                return Do([&](CWizardDialog& dialog) { holds = ready(dialog); }) && holds;
            },
            limit);
    }

private:
    CWizardDialog* _dialog = nullptr;
};

}  // namespace zun::testing
