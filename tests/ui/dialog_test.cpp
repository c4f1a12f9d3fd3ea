#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

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
// dialog's queue: never run, never leaked.
TEST(Dialog, TaskPostedToAClosingDialogIsFreedNotRun) {
    TestDialog dialog;
    auto sentinel = std::make_shared<int>(0);
    bool posted = false;
    bool ran = false;
    dialog.handlers[ui::kMsgDestroy] = [&](ui::WindowHandle self, uintptr_t, intptr_t) -> intptr_t {
        posted = ui::PostWindowTask(self, [&ran, sentinel] { ran = true; });
        return 0;
    };
    dialog.onInit = [&](ui::WindowHandle self) { ui::EndDialog(self, 1); };
    EXPECT_EQ(dialog.Run(), 1);
    EXPECT_TRUE(posted);
    EXPECT_FALSE(ran);
    EXPECT_EQ(sentinel.use_count(), 1);
}

// Handlers and posted tasks that throw lose their own work only: the
// dialog's loop goes on.
TEST(Dialog, ThrowingHandlersAndTasksDoNotEndTheLoop) {
    TestDialog dialog;
    intptr_t sendResult = -1;
    Status sendStatus = 1;
    bool after = false;
    dialog.handlers[kNotice] = [](ui::WindowHandle, uintptr_t, intptr_t) -> intptr_t {
        throw std::runtime_error("handler");
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
}

TEST(Dialog, GeometryCaptionAndStyles) {
    TestDialog dialog;
    dialog.onInit = [&](ui::WindowHandle self) {
        ui::Rect area;
        ASSERT_EQ(ui::GetWorkArea(&area), 0u);
        ASSERT_EQ(ui::SetWindowSize(self, 500, 200), 0u);
        ASSERT_EQ(ui::CenterWindow(self, nullptr), 0u);
        ui::Rect rect;
        ASSERT_EQ(ui::GetWindowRect(self, &rect), 0u);
        EXPECT_EQ(rect.Width(), 500);
        EXPECT_EQ(rect.Height(), 200);
        EXPECT_LE(std::abs((rect.left - area.left) - (area.right - rect.right)), 1);
        EXPECT_LE(std::abs((rect.top - area.top) - (area.bottom - rect.bottom)), 1);
        ui::Rect client;
        ASSERT_EQ(ui::GetClientRect(self, &client), 0u);
        EXPECT_EQ(client.left, 0);
        EXPECT_LT(client.Width(), 500);
        EXPECT_GT(client.Width(), 400);

        const ui::Rect moved{-1000, -1000, -1000, -1000};
        ASSERT_EQ(ui::SetWindowBounds(self, moved), 0u);
        ASSERT_EQ(ui::GetWindowRect(self, &rect), 0u);
        EXPECT_EQ(rect.left, -1000);
        EXPECT_EQ(rect.Width(), 0);

        EXPECT_FALSE(ui::IsToolWindow(self));
        ASSERT_EQ(ui::SetToolWindow(self, true), 0u);
        EXPECT_TRUE(ui::IsToolWindow(self));
        ASSERT_EQ(ui::SetToolWindow(self, false), 0u);
        EXPECT_FALSE(ui::IsToolWindow(self));

        ASSERT_EQ(ui::SetCaption(self, "Network Manager"), 0u);
        char caption[64];
        ASSERT_EQ(ui::GetCaption(self, caption, sizeof caption), 0u);
        EXPECT_STREQ(caption, "Network Manager");
        EXPECT_EQ(ui::SetSmallIcon(self, ui::kRocketIcon), 0u);

        ui::WindowHandle host = ui::GetDialogItem(self, ui::kBrowserControlId);
        ASSERT_NE(host, nullptr);
        ASSERT_EQ(ui::GetClientRect(host, &client), 0u);
        EXPECT_GT(client.Width(), 0);
        ui::EndDialog(self, 1);
    };
    EXPECT_EQ(dialog.Run(), 1);
}

TEST(Dialog, StatusBarProgressBarAndMouse) {
    struct MouseCall {
        ui::WindowHandle dialog;
        uint32_t message;
        uintptr_t keys;
        int x;
        int y;
    };
    TestDialog dialog;
    ui::WindowHandle window = nullptr;
    std::vector<MouseCall> barMouse;
    int dialogMouse = 0;
    dialog.onStatusBarMouse = [&](ui::WindowHandle self, uint32_t message, uintptr_t keys, intptr_t position) {
        barMouse.push_back({self, message, keys, static_cast<int16_t>(position & 0xFFFF),
                            static_cast<int16_t>((position >> 16) & 0xFFFF)});
    };
    for (uint32_t message : {ui::kMsgLButtonDown, ui::kMsgLButtonDoubleClick}) {
        dialog.handlers[message] = [&](ui::WindowHandle, uintptr_t, intptr_t) -> intptr_t {
            ++dialogMouse;
            return 0;
        };
    }
    int32_t clickX = 0;
    dialog.onInit = [&](ui::WindowHandle self) {
        window = self;
        ui::WindowHandle bar = nullptr;
        ASSERT_EQ(ui::CreateStatusBar(self, &bar), 0u);
        ui::Rect client;
        ASSERT_EQ(ui::GetClientRect(self, &client), 0u);
        const int32_t x = client.right;
        const int32_t edges[] = {x - 182, x - 156, x - 130, x - 104, -1};
        ASSERT_EQ(ui::SetStatusBarParts(bar, edges, 5), 0u);
        ui::Rect part;
        ASSERT_EQ(ui::GetStatusBarPartRect(bar, 4, &part), 0u);
        // The system's bar may draw a border of a few pixels inside the edges.
        EXPECT_NEAR(part.left, x - 104, 3);
        ASSERT_EQ(ui::GetStatusBarPartRect(bar, 3, &part), 0u);
        EXPECT_NEAR(part.left, x - 130, 3);

        EXPECT_EQ(ui::GetStatusBarIcon(bar, 3), 0);
        ASSERT_EQ(ui::SetStatusBarIcon(bar, 4, ui::kZoneIcon), 0u);
        ASSERT_EQ(ui::SetStatusBarIcon(bar, 3, ui::kLockIcon), 0u);
        EXPECT_EQ(ui::GetStatusBarIcon(bar, 4), ui::kZoneIcon);
        EXPECT_EQ(ui::GetStatusBarIcon(bar, 3), ui::kLockIcon);
        ASSERT_EQ(ui::SetStatusBarIcon(bar, 3, 0), 0u);
        EXPECT_EQ(ui::GetStatusBarIcon(bar, 3), 0);

        char text[64];
        ASSERT_EQ(ui::SetStatusBarText(bar, 4, "Internet"), 0u);
        ASSERT_EQ(ui::GetStatusBarText(bar, 4, text, sizeof text), 0u);
        EXPECT_STREQ(text, "Internet");
        ASSERT_EQ(ui::SetStatusBarTipText(bar, 3, "SSL Secured (128 bit)"), 0u);
        ASSERT_EQ(ui::GetStatusBarTipText(bar, 3, text, sizeof text), 0u);
        EXPECT_STREQ(text, "SSL Secured (128 bit)");

        // Mouse messages of the bar reach the dialog, never the bar.
        clickX = x - 100;
        const intptr_t position = (5 << 16) | clickX;
        ui::SendWindowMessage(bar, ui::kMsgLButtonDown, ui::kMouseLeftButton | ui::kMouseControl, position,
                              nullptr);
        ui::SendWindowMessage(bar, ui::kMsgLButtonDoubleClick, ui::kMouseLeftButton, position, nullptr);

        const int32_t v = ui::GetVerticalScrollArrowHeight();
        EXPECT_GT(v, 0);
        ui::WindowHandle progress = nullptr;
        ASSERT_EQ(ui::CreateProgressBar(self, {x - 285, client.bottom - v, x - 189, client.bottom - 2}, &progress),
                  0u);
        ASSERT_EQ(ui::SetProgressPosition(progress, 50), 0u);
        EXPECT_EQ(ui::GetProgressPosition(progress), 50);
        ASSERT_EQ(ui::DestroyWindow(progress), 0u);
        EXPECT_FALSE(ui::IsWindow(progress));
        ui::EndDialog(self, 1);
    };
    EXPECT_EQ(dialog.Run(), 1);
    EXPECT_EQ(dialogMouse, 0);
    ASSERT_EQ(barMouse.size(), 2u);
    EXPECT_EQ(barMouse[0].dialog, window);
    EXPECT_EQ(barMouse[0].message, ui::kMsgLButtonDown);
    EXPECT_EQ(barMouse[0].keys, ui::kMouseLeftButton | ui::kMouseControl);
    EXPECT_EQ(barMouse[1].dialog, window);
    EXPECT_EQ(barMouse[1].message, ui::kMsgLButtonDoubleClick);
    EXPECT_EQ(barMouse[1].keys, ui::kMouseLeftButton);
    for (const MouseCall& call : barMouse) {
        EXPECT_EQ(call.x, clickX);
        EXPECT_EQ(call.y, 5);
    }
}

TEST(Dialog, AboutBoxControls) {
    TestDialog dialog;
    dialog.onInit = [&](ui::WindowHandle self) {
        ASSERT_EQ(ui::SetCaption(self, "About Orvella Engine"), 0u);
        ASSERT_EQ(ui::SetControlText(self, 1, "OK"), 0u);
        ASSERT_EQ(ui::SetControlText(self, 203, "affiliateID: A1"), 0u);
        char text[64];
        ASSERT_EQ(ui::GetControlText(self, 203, text, sizeof text), 0u);
        EXPECT_STREQ(text, "affiliateID: A1");
        ASSERT_EQ(ui::GetControlText(self, 1, text, sizeof text), 0u);
        EXPECT_STREQ(text, "OK");
        for (int id : {203, 209, 210, 211}) EXPECT_TRUE(ui::IsControlVisible(self, id)) << id;
        // The progress bar (206) is shown only while there is progress to show.
        ASSERT_EQ(ui::ShowControl(self, 206, true), 0u);
        EXPECT_TRUE(ui::IsControlVisible(self, 206));
        ASSERT_EQ(ui::ShowControl(self, 206, false), 0u);
        EXPECT_FALSE(ui::IsControlVisible(self, 206));
        EXPECT_EQ(ui::SetControlText(self, 4242, "x"), ZUN_E_CONTROL_NOT_FOUND);
        ui::EndDialog(self, 1);
    };
    EXPECT_EQ(dialog.Run(ui::kEasterEggDialogTemplate), 1);
}

}  // namespace
}  // namespace zun
