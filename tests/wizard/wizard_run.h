// A wizard dialog run modally on a thread of its own, as the engine's caller
// would run it, with the test thread in the role of the handshake's worker or
// of the person in front of the window. Work for the dialog's thread goes
// through Do(); the dialog's state is read there too.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/ui.h"
#include "wizard/wizard_window_registry.h"
#include "wizard/wizard_dialog.h"

namespace zun::testing {

class WizardRun {
public:
    using Clock = std::chrono::steady_clock;

    // `prepare` fills the dialog's inputs on the dialog's thread before the
    // modal loop; `after` runs there once the loop has ended, before the
    // dialog is destroyed.
    explicit WizardRun(std::function<void(CWizardDialog&)> prepare,
                       std::function<void(CWizardDialog&)> after = nullptr) {
        _thread = std::thread([this, prepare, after] {
            CWizardDialog dialog;
            prepare(dialog);
            Set([&] { _dialog = &dialog; });
            const intptr_t code = dialog.DoModal(nullptr);
            if (after) after(dialog);
            Set([&] {
                _dialog = nullptr;
                _ended = true;
                _code = code;
            });
        });
    }

    ~WizardRun() {
        if (platform::ui::WindowHandle window = Window()) {
            platform::ui::PostWindowTask(window, [window] { platform::ui::EndDialog(window, -1); });
        }
        _thread.join();
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
        const auto end = Clock::now() + limit;
        while (Clock::now() < end) {
            if (platform::ui::WindowHandle window = Window(); platform::ui::IsWindow(window)) return true;
            if (Ended()) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return false;
    }

    // Runs `work` with the dialog on the dialog's thread and waits for it.
    bool Do(const std::function<void(CWizardDialog&)>& work) {
        platform::ui::WindowHandle window = Window();
        if (window == nullptr) return false;
        auto done = std::make_shared<bool>(false);
        CWizardDialog* dialog = nullptr;
        {
            std::lock_guard<std::mutex> lock(_lock);
            dialog = _dialog;
        }
        if (!platform::ui::PostWindowTask(window, [this, dialog, work, done] {
                work(*dialog);
                Set([&] { *done = true; });
            })) {
            return false;
        }
        std::unique_lock<std::mutex> lock(_lock);
        return _changed.wait_for(lock, std::chrono::seconds(60), [&] { return *done || _ended; }) && *done;
    }

    // Polls `ready` on the dialog's thread until it holds.
    bool WaitUntil(const std::function<bool(CWizardDialog&)>& ready,
                   std::chrono::milliseconds limit = std::chrono::seconds(20)) {
        const auto end = Clock::now() + limit;
        while (Clock::now() < end) {
            bool holds = false;
            if (!Do([&](CWizardDialog& dialog) { holds = ready(dialog); })) return false;
            if (holds) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return false;
    }

    bool WaitForEnd(std::chrono::milliseconds limit = std::chrono::seconds(20)) {
        std::unique_lock<std::mutex> lock(_lock);
        return _changed.wait_for(lock, limit, [this] { return _ended; });
    }
    bool Ended() {
        std::lock_guard<std::mutex> lock(_lock);
        return _ended;
    }
    intptr_t EndCode() {
        std::lock_guard<std::mutex> lock(_lock);
        return _code;
    }

private:
    void Set(const std::function<void()>& change) {
        {
            std::lock_guard<std::mutex> lock(_lock);
            change();
        }
        _changed.notify_all();
    }

    std::mutex _lock;
    std::condition_variable _changed;
    CWizardDialog* _dialog = nullptr;
    bool _ended = false;
    intptr_t _code = 0;
    std::thread _thread;
};

}  // namespace zun::testing
