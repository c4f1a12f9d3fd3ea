#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "ui/test_dialog.h"
#include "wizard/wait_dialog_notice.h"
#include "wizard/wizard_window_registry.h"

namespace zun {
namespace {

namespace ui = platform::ui;

TEST(WizardWindowRegistry, RunningWizardIsReachableFromAWorkerAndForgottenByTheDialogThatEnds) {
    WizardWindowRegistry windows;
    testing::TestDialog dialog;
    std::thread worker;
    ui::WindowHandle seen = nullptr;
    bool closed = false;
    dialog.handlers[ui::kMsgClose] = [](ui::WindowHandle self, uintptr_t, intptr_t) -> intptr_t {
        ui::EndDialog(self, -1);
        return 0;
    };
    dialog.handlers[ui::kMsgDestroy] = [&](ui::WindowHandle self, uintptr_t, intptr_t) -> intptr_t {
        windows.WizardClosed(self);
        return 0;
    };
    dialog.onInit = [&](ui::WindowHandle self) {
        windows.WizardOpened(self, false);
        // An older dialog that ends meanwhile leaves the newer one alone.
        windows.WizardClosed(reinterpret_cast<ui::WindowHandle>(0x5A5A));
        worker = std::thread([&] {
            seen = windows.RunningWizard();
            closed = windows.CloseRunningWizard();
        });
    };
    EXPECT_EQ(dialog.Run(), -1);
    worker.join();
    EXPECT_NE(seen, nullptr);
    EXPECT_TRUE(closed);
    // A close request after the end reaches no window.
    EXPECT_EQ(windows.RunningWizard(), nullptr);
    EXPECT_FALSE(windows.CloseRunningWizard());
}

// The worker asks for the connecting timer while the wait window's thread is
// still inside its initialisation: the thread takes the registry's lock
// there, and the request must neither hold it while waiting for that thread
// nor be lost.
TEST(WizardWindowRegistry, TheConnectingTimerAskedForWhileTheWaitWindowInitialisesTicks) {
    WizardWindowRegistry windows;
    testing::TestDialog dialog;
    std::thread worker;
    std::atomic<bool> asked{false};
    dialog.handlers[ui::kMsgTimer] = [](ui::WindowHandle self, uintptr_t id, intptr_t) -> intptr_t {
        if (id == kConnectionTimerId) ui::EndDialog(self, 1);
        return 0;
    };
    dialog.onInit = [&](ui::WindowHandle self) {
        windows.WizardOpened(self, true);
        worker = std::thread([&] {
            windows.SetConnectionTimer(true);
            asked = true;
        });
        // Held here until the request has been made (or for a bound), then
        // the initialisation goes on and takes the lock once more.
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (!asked && std::chrono::steady_clock::now() < end) std::this_thread::yield();
        EXPECT_EQ(windows.RunningWizard(), self);
    };
    EXPECT_EQ(dialog.Run(), 1);
    worker.join();
    EXPECT_TRUE(asked);
}

}  // namespace
}  // namespace zun
