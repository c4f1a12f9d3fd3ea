// Dialogs for tests: TestDialog runs a template modally on the calling thread
// and hands its messages to functions the test sets; DialogRunner runs a
// modal dialog, or a call that runs dialogs, on a thread of its own, as the
// engine's caller would, while the test thread hands it work and waits for
// what it records.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/ui.h"

namespace zun::testing {

class TestDialog final : public platform::ui::DialogHandler {
public:
    using WindowHandle = platform::ui::WindowHandle;
    using Handler = std::function<intptr_t(WindowHandle, uintptr_t, intptr_t)>;

    std::function<void(WindowHandle)> onInit;
    // Handlers by message number; a message with a handler counts as handled.
    std::map<uint32_t, Handler> handlers;

    // The end code; IDCANCEL ends the dialog with 2 unless WM_COMMAND has a
    // handler; -100 when the dialog could not be run.
    intptr_t Run(int templateId = platform::ui::kWizardDialogTemplate) {
        intptr_t code = -100;
        return platform::ui::RunModalDialog(templateId, nullptr, *this, 0, &code) == 0 ? code : -100;
    }

    intptr_t OnMessage(WindowHandle dialog, uint32_t message, uintptr_t wParam, intptr_t lParam,
                       bool& handled) override {
        if (message == platform::ui::kMsgInitDialog) {
            if (onInit) onInit(dialog);
            return 1;
        }
        if (auto it = handlers.find(message); it != handlers.end()) {
            handled = true;
            return it->second(dialog, wParam, lParam);
        }
        if (message == platform::ui::kMsgCommand && (wParam & 0xFFFF) == platform::ui::kIdCancel) {
            handled = true;
            platform::ui::EndDialog(dialog, platform::ui::kIdCancel);
        }
        return 0;
    }
    void OnStatusBarMouse(WindowHandle, uint32_t, uintptr_t, intptr_t) override {}
};

class DialogRunner {
public:
    // Derived classes end their dialog and Join() in their own destructor,
    // before their members go.
    virtual ~DialogRunner() { Join(); }

    // Runs `run`, which runs the dialog modally and returns its end code.
    void Start(std::function<intptr_t()> run) {
        _runner = std::thread([this, run] {
            const intptr_t code = run();
            Record([&] { _ended = true, _endCode = code; });
        });
    }
    void Join() {
        if (_runner.joinable()) _runner.join();
    }

    // Changes what the waiting threads see, under the lock, and wakes them.
    void Record(const std::function<void()>& change) {
        {
            std::lock_guard<std::mutex> lock(_lock);
            change();
        }
        _changed.notify_all();
    }
    // Waits until `ready` holds (checked under the lock, at each Record).
    bool WaitFor(const std::function<bool()>& ready, std::chrono::milliseconds limit) {
        std::unique_lock<std::mutex> lock(_lock);
        return _changed.wait_for(lock, limit, ready);
    }

    // Runs `work` on the thread of `window` and waits for it; false when the
    // dialog ended first.
    bool Do(platform::ui::WindowHandle window, std::function<void()> work) {
        auto done = std::make_shared<bool>(false);
        if (window == nullptr || Ended() || !platform::ui::PostWindowTask(window, [this, work, done] {
                work();
                Record([&] { *done = true; });
            })) {
            return false;
        }
        bool finished = false;
        WaitFor([&] { return (finished = *done) || _ended; }, std::chrono::seconds(60));
        return finished;
    }

    bool WaitForEnd(std::chrono::milliseconds limit = std::chrono::seconds(20)) {
        return WaitFor([this] { return _ended; }, limit);
    }
    bool Ended() { return WaitForEnd(std::chrono::milliseconds(0)); }
    intptr_t EndCode() {
        std::lock_guard<std::mutex> lock(_lock);
        return _endCode;
    }

protected:
    std::mutex _lock;

private:
    std::condition_variable _changed;
    std::thread _runner;
    bool _ended = false;
    intptr_t _endCode = 0;
};

}  // namespace zun::testing
