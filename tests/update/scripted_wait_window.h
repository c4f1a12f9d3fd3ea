// A wait window for handshake tests: a test dialog on the calling thread
// that plays the wizard's wait window. It records every notice and timer
// tick, can refuse notices as a page that has not loaded, and answers a
// connection-error question as the test says.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <string>
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
    uintptr_t kind = 0;
    std::string topText;
    std::string bottomText;
    uintptr_t done = 0;
    uint32_t total = 0;
    uintptr_t phase = 0;
};

class ScriptedWaitWindow final : public WaitWindowHost {
public:
    // Delay before the window opens, as a slow dialog start.
    std::chrono::milliseconds openDelay{0};
    // The answer to a connection-error question, written on the dialog's
    // thread; 0 leaves the question open. Called with the question's number.
    std::function<uint32_t(int)> answer = [](int) { return uint32_t{2}; };
    // Notices refused (as by a page that has not loaded) before one is taken;
    // negative: all of them.
    int refuseNotices = 0;
    // Destroys the window at the n-th refused notice (0: never).
    int closeAtRefusal = 0;
    // The worker's look-ups of the window wait until it has opened (for a
    // bound): its notices then reach it even when the worker would finish
    // before the window is up, as it may under load.
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
        dialog.handlers[platform::ui::kMsgTimer] = [this](WindowHandle, uintptr_t id, intptr_t) -> intptr_t {
            if (id == kConnectionTimerId) ++ticks;
            return 0;
        };
        dialog.handlers[WM_WAITDIALOGNOTICE] = [this](WindowHandle self, uintptr_t kind, intptr_t lParam) {
            return OnNotice(self, kind, lParam);
        };
        dialog.Run();
        closed = std::chrono::steady_clock::now();
        // A question still open is answered by the window's end.
        if (_openQuestion != nullptr) platform::sync::SignalEvent(_openQuestion);
        _openQuestion = nullptr;
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
        for (const SeenNotice& notice : Notices()) {
            if (notice.kind == kind) return true;
        }
        return false;
    }

    std::atomic<int> ticks{0};
    std::atomic<int> refused{0};
    std::chrono::steady_clock::time_point started, closed;

private:
    intptr_t OnNotice(WindowHandle self, uintptr_t kind, intptr_t lParam) {
        if (refuseNotices < 0 || refused.load() < refuseNotices) {
            if (++refused == closeAtRefusal) platform::ui::EndDialog(self, -1);
            return static_cast<intptr_t>(ZUN_E_NOT_FOUND);
        }
        const auto* notice = reinterpret_cast<const WaitDialogNotice*>(lParam);
        SeenNotice seen;
        seen.kind = kind;
        if (kind == ENGINEAUTOUPDATE || kind == CONNECTIONERROR) {
            seen.topText = notice->topText;
            seen.bottomText = notice->bottomText;
        } else if (kind == DOWNLOADPROGRESS) {
            seen.done = notice->eventOrDone;
            seen.total = notice->total;
            seen.phase = notice->resultOrPhase;
        }
        int question = 0;
        {
            std::lock_guard<std::mutex> lock(_mutex);
            _notices.push_back(seen);
            if (kind == CONNECTIONERROR) question = ++_questions;
        }
        if (kind == CONNECTIONERROR) {
            const uint32_t given = answer(question);
            auto event = reinterpret_cast<platform::sync::EventHandle>(notice->eventOrDone);
            if (given == 0) {
                _openQuestion = event;
            } else {
                *reinterpret_cast<uint32_t*>(notice->resultOrPhase) = given;
                platform::sync::SignalEvent(event);
            }
        }
        return 0;
    }

    // The engine's own bookkeeping of an open wizard window.
    WizardWindowRegistry _windows;
    platform::sync::EventHandle _openQuestion = nullptr;
    std::mutex _mutex;
    std::vector<SeenNotice> _notices;
    std::atomic<bool> _everOpened{false};
    int _questions = 0;
};

}  // namespace zun::testing
