#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <stdexcept>
#include <thread>

#include "platform/ui.h"
#include "ui/test_dialog.h"
#include "wizard/wait_dialog_notice.h"
#include "wizard/wizard_window_registry.h"

namespace zun {
namespace {

namespace ui = platform::ui;
using testing::TestDialog;

constexpr uint32_t kNotice = 0xB267;

// The first send ends the dialog; the others fail or were taken before the
// end, but none blocks, and a send that was taken runs on the dialog's thread
// and reports success and its answer even when the dialog is gone before its
// sender runs again. Several rounds give that race its chances. Once the
// dialog is gone, sends, timers and tasks for it fail at once.
TEST(Dialog, SendsWaitingWhileTheDialogEndsAreReleased) {
    const std::thread::id dialogThread = std::this_thread::get_id();
    ui::WindowHandle window = nullptr;
    for (int round = 0; round < 50; ++round) {
        TestDialog dialog;
        std::atomic<int> failed{0}, taken{0}, answered{0}, offThread{0};
        std::thread senders[4];
        dialog.handlers[kNotice] = [&](ui::WindowHandle self, uintptr_t wParam, intptr_t lParam) -> intptr_t {
            ++taken;
            offThread += std::this_thread::get_id() != dialogThread;
            ui::EndDialog(self, 5);
            return static_cast<intptr_t>(wParam) * 100 + lParam;
        };
        dialog.onInit = [&](ui::WindowHandle self) {
            window = self;
            for (std::thread& sender : senders) {
                sender = std::thread([&, self] {
                    intptr_t answer = 0;
                    if (ui::SendWindowMessage(self, kNotice, 3, 4, &answer) != 0) ++failed;
                    answered += answer == 304;
                });
            }
        };
        EXPECT_EQ(dialog.Run(), 5);
        for (std::thread& sender : senders) sender.join();
        EXPECT_GE(taken.load(), 1);
        EXPECT_EQ(taken.load() + failed.load(), 4) << "round " << round;
        EXPECT_EQ(answered.load(), taken.load());
        EXPECT_EQ(offThread.load(), 0);
    }
    EXPECT_FALSE(ui::IsWindow(window));
    Status closedSend = 0;
    std::thread([&] { closedSend = ui::SendWindowMessage(window, kNotice, 0, 0, nullptr); }).join();
    EXPECT_NE(closedSend, 0u);
    EXPECT_NE(ui::SetWindowTimer(window, 1, 20), 0u);
    EXPECT_FALSE(ui::PostWindowTask(window, [] {}));
}

// A task posted to a dialog that goes away before it runs is freed with the
// dialog's queue, never run; handlers and tasks that throw lose their own
// work only, and the loop goes on.
TEST(Dialog, TasksOfAClosingDialogAreFreedAndThrowingHandlersAndTasksDoNotEndTheLoop) {
    TestDialog dialog;
    auto sentinel = std::make_shared<int>(0);
    bool posted = false, ran = false, after = false;
    intptr_t sendResult = -1;
    Status sendStatus = 1;
    dialog.handlers[kNotice] = [](ui::WindowHandle, uintptr_t, intptr_t) -> intptr_t {
        throw std::runtime_error("handler");
    };
    dialog.handlers[ui::kMsgDestroy] = [&](ui::WindowHandle self, uintptr_t, intptr_t) -> intptr_t {
        posted = ui::PostWindowTask(self, [&ran, sentinel] { ran = true; });
        return 0;
    };
    dialog.onInit = [&](ui::WindowHandle self) {
        ui::PostWindowTask(self, [] { throw std::runtime_error("task"); });
        ui::PostWindowTask(self, [&, self] {
            sendStatus = ui::SendWindowMessage(self, kNotice, 0, 0, &sendResult);
            after = true;
            ui::EndDialog(self, 1);
        });
    };
    EXPECT_EQ(dialog.Run(), 1);
    EXPECT_TRUE(after);
    EXPECT_EQ(sendStatus, 0u);
    EXPECT_EQ(sendResult, 0);
    EXPECT_TRUE(posted);
    EXPECT_FALSE(ran);
    EXPECT_EQ(sentinel.use_count(), 1);
}

// The worker asks for the connecting timer while the wait window's thread,
// still initialising, takes the registry's lock: the request must neither
// hold the lock while waiting for that thread nor be lost. An older dialog
// that ends meanwhile leaves the newer one registered; the one that ends
// leaves none, so a late close request reaches no window.
TEST(WizardWindowRegistry, TheConnectingTimerAskedForWhileTheWaitWindowInitialisesTicks) {
    WizardWindowRegistry windows;
    TestDialog dialog;
    std::thread worker;
    std::atomic<bool> asked{false};
    dialog.handlers[ui::kMsgTimer] = [](ui::WindowHandle self, uintptr_t id, intptr_t) -> intptr_t {
        if (id == kConnectionTimerId) ui::EndDialog(self, 1);
        return 0;
    };
    dialog.handlers[ui::kMsgDestroy] = [&](ui::WindowHandle self, uintptr_t, intptr_t) -> intptr_t {
        windows.WizardClosed(self);
        return 0;
    };
    dialog.onInit = [&](ui::WindowHandle self) {
        windows.WizardOpened(self, true);
        windows.WizardClosed(reinterpret_cast<ui::WindowHandle>(0x5A5A));
        worker = std::thread([&] {
            windows.SetConnectionTimer(true);
            asked = true;
        });
        // Held until the request has been made (bounded), then takes the
        // lock once more.
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (!asked && std::chrono::steady_clock::now() < end) std::this_thread::yield();
        EXPECT_EQ(windows.RunningWizard(), self);
    };
    EXPECT_EQ(dialog.Run(), 1);
    worker.join();
    EXPECT_TRUE(asked);
    EXPECT_EQ(windows.RunningWizard(), nullptr);
    EXPECT_FALSE(windows.CloseRunningWizard());
}

}  // namespace
}  // namespace zun
