#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <stdexcept>
#include <thread>

#include "platform/ui.h"
#include "ui/test_dialog.h"

namespace zun {
namespace {

namespace ui = platform::ui;
using testing::TestDialog;

constexpr uint32_t kNotice = 0xB267;
constexpr uintptr_t kTimerId = 0xDEADBEEF;

TEST(Dialog, WorkerSendsAndTimersRunOnTheDialogThreadAndSendsAfterCloseFail) {
    const std::thread::id dialogThread = std::this_thread::get_id();
    TestDialog dialog;
    std::thread::id noticeThread, timerThread, taskThread;
    intptr_t sendResult = 0;
    Status sendStatus = 1, timerStatus = 1, closedSend = 0;
    ui::WindowHandle window = nullptr;
    std::thread worker;
    std::atomic<int> ticks{0};

    dialog.handlers[kNotice] = [&](ui::WindowHandle, uintptr_t wParam, intptr_t lParam) -> intptr_t {
        noticeThread = std::this_thread::get_id();
        return static_cast<intptr_t>(wParam) * 100 + lParam;
    };
    dialog.handlers[ui::kMsgTimer] = [&](ui::WindowHandle self, uintptr_t id, intptr_t) -> intptr_t {
        if (id != kTimerId) return 0;
        timerThread = std::this_thread::get_id();
        if (++ticks == 2) {
            ui::KillWindowTimer(self, kTimerId);
            ui::PostWindowTask(self, [&, self] {
                taskThread = std::this_thread::get_id();
                // WM_CLOSE left to the default becomes IDCANCEL, with which the
                // test dialog ends (2).
                ui::SendWindowMessage(self, ui::kMsgClose, 0, 0, nullptr);
            });
        }
        return 0;
    };
    dialog.onInit = [&](ui::WindowHandle self) {
        window = self;
        worker = std::thread([&, self] {
            sendStatus = ui::SendWindowMessage(self, kNotice, 3, 4, &sendResult);
            timerStatus = ui::SetWindowTimer(self, kTimerId, 20);
        });
    };

    EXPECT_EQ(dialog.Run(), ui::kIdCancel);
    worker.join();
    EXPECT_EQ(sendStatus, 0u);
    EXPECT_EQ(sendResult, 304);
    EXPECT_EQ(timerStatus, 0u);
    EXPECT_EQ(ticks.load(), 2);
    EXPECT_EQ(noticeThread, dialogThread);
    EXPECT_EQ(timerThread, dialogThread);
    EXPECT_EQ(taskThread, dialogThread);

    EXPECT_FALSE(ui::IsWindow(window));
    std::thread late([&] { closedSend = ui::SendWindowMessage(window, kNotice, 0, 0, nullptr); });
    late.join();
    EXPECT_NE(closedSend, 0u);
    EXPECT_NE(ui::SetWindowTimer(window, kTimerId, 20), 0u);
    EXPECT_FALSE(ui::PostWindowTask(window, [] {}));
}

// The first send ends the dialog; the others fail or were taken before the
// end, but none blocks, and a send that was taken reports success even when
// the dialog is gone before its sender runs again. Several rounds give that
// race its chances.
TEST(Dialog, SendsWaitingWhileTheDialogEndsAreReleased) {
    for (int round = 0; round < 10; ++round) {
        TestDialog dialog;
        std::atomic<int> failed{0};
        std::atomic<int> taken{0};
        std::thread senders[4];
        dialog.handlers[kNotice] = [&](ui::WindowHandle self, uintptr_t, intptr_t) -> intptr_t {
            ++taken;
            ui::EndDialog(self, 5);
            return 0;
        };
        dialog.onInit = [&](ui::WindowHandle self) {
            for (std::thread& sender : senders) {
                sender = std::thread([&, self] {
                    if (ui::SendWindowMessage(self, kNotice, 0, 0, nullptr) != 0) ++failed;
                });
            }
        };
        EXPECT_EQ(dialog.Run(), 5);
        for (std::thread& sender : senders) sender.join();
        EXPECT_GE(taken.load(), 1);
        EXPECT_EQ(taken.load() + failed.load(), 4) << "round " << round;
    }
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

}  // namespace
}  // namespace zun
