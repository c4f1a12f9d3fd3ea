// A wizard dialog run modally on a thread of its own, with the test thread in
// the role of the handshake's worker or of the person in front of the window.
// Work for the dialog's thread, reading its state included, goes through Do().
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "ui/test_dialog.h"
#include "wizard/wizard_dialog.h"
#include "wizard/wizard_window_registry.h"

namespace zun::testing {

class WizardRun final : public DialogRunner {
public:
    // `prepare` fills the dialog's inputs on the dialog's thread before the
    // modal loop.
    explicit WizardRun(std::function<void(CWizardDialog&)> prepare) {
        Start([this, prepare] {
            CWizardDialog dialog;
            prepare(dialog);
            Record([&] { _dialog = &dialog; });
            const intptr_t code = dialog.DoModal(nullptr);
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

    // The dialog's window while it exists, as the handshake's worker finds it.
    platform::ui::WindowHandle Window() {
        std::lock_guard<std::mutex> lock(_lock);
        return _dialog != nullptr ? TheWizardWindowRegistry().RunningWizard() : nullptr;
    }
    bool WaitForWindow() {
        return PollUntil([this] { return platform::ui::IsWindow(Window()); }, std::chrono::seconds(30));
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
    bool WaitUntil(const std::function<bool(CWizardDialog&)>& ready) {
        const auto holds = [&] {
            bool result = false;
            return Do([&](CWizardDialog& dialog) { result = ready(dialog); }) && result;
        };
        return PollUntil(holds, std::chrono::seconds(20));
    }

private:
    // Polls `ready` until it holds, the dialog ends or the limit passes.
    bool PollUntil(const std::function<bool()>& ready, std::chrono::milliseconds limit) {
        const auto end = std::chrono::steady_clock::now() + limit;
        while (!ready()) {
            if (std::chrono::steady_clock::now() >= end || WaitForEnd(std::chrono::milliseconds(10))) return ready();
        }
        return true;
    }

    CWizardDialog* _dialog = nullptr;
};

// A wizard with no page of its own, the frame alone, over `record`.
inline std::unique_ptr<WizardRun> StartBareWizard(GatewayRecord* record) {
    return std::make_unique<WizardRun>([record](CWizardDialog& dialog) {
        dialog.m_nWizardMode = 0;
        dialog.m_pGatewayRecord = record;
    });
}

// Clicks the wizard's zone pane at its left + dx with the mouse `keys` and
// runs `inside` on the About box that opens, inside the box's loop; `inside`
// closes the box. The box's caption, or "<none>" when none opened.
inline std::string ClickTheZonePane(WizardRun& run, int32_t dx, uintptr_t keys,
                                    const std::function<void(platform::ui::WindowHandle)>& inside) {
    namespace ui = platform::ui;
    std::string caption = "<none>";
    run.Do([&](CWizardDialog& dialog) {
        ui::Rect zone;
        ui::GetStatusBarPartRect(dialog.StatusBar(), CWizardDialog::kZonePane, &zone);
        // Runs inside the About box's loop, when there is one.
        ui::PostWindowTask(dialog.Window(), [&] {
            const ui::WindowHandle box = TheWizardWindowRegistry().RunningAbout();
            if (box == nullptr) return;
            char text[256] = {};
            ui::GetCaption(box, text, sizeof text);
            caption = text;
            inside(box);
        });
        const intptr_t at = ((zone.top + 4) << 16) | ((zone.left + dx) & 0xFFFF);
        ui::SendWindowMessage(dialog.StatusBar(), ui::kMsgLButtonDown, keys, at, nullptr);
    });
    run.Do([](CWizardDialog&) {});  // the posted task has run
    return caption;
}

}  // namespace zun::testing
