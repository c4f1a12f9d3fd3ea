// A wait window for handshake tests: a test dialog on the calling thread
// that plays the wizard's wait window. It records every notice, answers a
// connection-error question with Cancel, and can refuse notices as a page
// that never loads.
#pragma once

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/sync.h"
#include "ui/test_dialog.h"
#include "update/wait_window_host.h"
#include "update/wait_window_notices.h"
#include "wizard/wait_dialog_notice.h"
#include "wizard/wizard_window_registry.h"

namespace zun::testing {

struct SeenNotice {
    uintptr_t kind = 0, done = 0, phase = 0;
    uint32_t total = 0;
};

class ScriptedWaitWindow final : public WaitWindowHost {
public:
    std::chrono::milliseconds openDelay{0};  // as a slow dialog start
    // Every notice refused, as by a page that never loads; the window destroyed at the n-th (0: never).
    bool refuseNotices = false;
    int closeAtRefusal = 0;
    // The worker's look-ups of the window wait (bounded) until it has opened.
    bool awaitWindow = false;

    void ResetWaitClose() override { _windows.ResetWaitRequests(); }

    void RunWaitWizard() override {
        // The handshake counts its wait from here.
        started = std::chrono::steady_clock::now();
        std::this_thread::sleep_for(openDelay);
        TestDialog dialog;
        dialog.onInit = [this](WindowHandle self) {
            _windows.WizardOpened(self, true);
            _everOpened = true;
        };
        dialog.handlers[platform::ui::kMsgClose] = [](WindowHandle self, uintptr_t, intptr_t) -> intptr_t {
            platform::ui::EndDialog(self, -1);
            return 0;
        };
        dialog.handlers[platform::ui::kMsgDestroy] = [this](WindowHandle self, uintptr_t, intptr_t) -> intptr_t {
            _windows.WizardClosed(self);
            return 0;
        };
        dialog.handlers[WM_WAITDIALOGNOTICE] = [this](WindowHandle self, uintptr_t kind, intptr_t lParam) {
            return OnNotice(self, kind, lParam);
        };
        dialog.Run();
        closed = std::chrono::steady_clock::now();
    }

    WindowHandle GetRunningWizardHWND() override {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (awaitWindow && !_everOpened && std::chrono::steady_clock::now() < end) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return _windows.RunningWizard();
    }
    void CloseRunningWizard() override { _windows.CloseRunningWizard(); }
    void SetConnectionTimer(bool running) override { _windows.SetConnectionTimer(running); }

    std::vector<SeenNotice> Notices() {
        std::lock_guard<std::mutex> lock(_mutex);
        return _notices;
    }
    bool Saw(uintptr_t kind) {
        const auto notices = Notices();
        return std::any_of(notices.begin(), notices.end(), [kind](const SeenNotice& seen) { return seen.kind == kind; });
    }

    std::atomic<int> refused{0};
    std::chrono::steady_clock::time_point started, closed;

private:
    intptr_t OnNotice(WindowHandle self, uintptr_t kind, intptr_t lParam) {
        if (refuseNotices) {
            if (++refused == closeAtRefusal) platform::ui::EndDialog(self, -1);
            return static_cast<intptr_t>(ZUN_E_NOT_FOUND);
        }
        const auto* notice = reinterpret_cast<const WaitDialogNotice*>(lParam);
        SeenNotice seen;
        seen.kind = kind;
        if (kind == DOWNLOADPROGRESS) {
            seen.done = notice->eventOrDone;
            seen.total = notice->total;
            seen.phase = notice->resultOrPhase;
        }
        std::unique_lock<std::mutex> lock(_mutex);
        _notices.push_back(seen);
        lock.unlock();
        if (kind == CONNECTIONERROR) {
            *reinterpret_cast<uint32_t*>(notice->resultOrPhase) = 2;  // Cancel
            platform::sync::SignalEvent(reinterpret_cast<platform::sync::EventHandle>(notice->eventOrDone));
        }
        return 0;
    }

    // The engine's own bookkeeping of an open wizard window.
    WizardWindowRegistry _windows;
    std::mutex _mutex;
    std::vector<SeenNotice> _notices;
    std::atomic<bool> _everOpened{false};
};

}  // namespace zun::testing
