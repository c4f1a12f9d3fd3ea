// A dialog for tests: runs a template modally on the calling thread and hands
// its messages to functions the test sets.
#pragma once

#include <functional>
#include <map>
#include <thread>

#include "platform/ui.h"

namespace zun::testing {

class TestDialog final : public platform::ui::DialogHandler {
public:
    using WindowHandle = platform::ui::WindowHandle;
    using Handler = std::function<intptr_t(WindowHandle, uintptr_t, intptr_t)>;

    // Called on WM_INITDIALOG.
    std::function<void(WindowHandle)> onInit;
    // Handlers by message number; a message with a handler counts as handled.
    std::map<uint32_t, Handler> handlers;
    std::function<void(WindowHandle, uint32_t, uintptr_t, intptr_t)> onStatusBarMouse;

    // Runs the template; IDCANCEL ends the dialog with 2 unless a handler
    // for WM_COMMAND is set. Returns the end code, or -100 when the dialog
    // could not be run.
    intptr_t Run(int templateId = platform::ui::kWizardDialogTemplate) {
        intptr_t code = -100;
        if (platform::ui::RunModalDialog(templateId, nullptr, *this, 0, &code) != 0) return -100;
        return code;
    }

    intptr_t OnMessage(WindowHandle dialog, uint32_t message, uintptr_t wParam, intptr_t lParam,
                       bool& handled) override {
        if (message == platform::ui::kMsgInitDialog) {
            if (onInit) onInit(dialog);
            return 1;
        }
        auto it = handlers.find(message);
        if (it != handlers.end()) {
            handled = true;
            return it->second(dialog, wParam, lParam);
        }
        if (message == platform::ui::kMsgCommand && (wParam & 0xFFFF) == platform::ui::kIdCancel) {
            handled = true;
            platform::ui::EndDialog(dialog, platform::ui::kIdCancel);
        }
        return 0;
    }

    void OnStatusBarMouse(WindowHandle dialog, uint32_t message, uintptr_t keys, intptr_t position) override {
        if (onStatusBarMouse) onStatusBarMouse(dialog, message, keys, position);
    }
};

}  // namespace zun::testing
