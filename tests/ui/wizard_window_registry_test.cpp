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

// The worker asks for the connecting timer while the wait window's thread,
// still initialising, takes the registry's lock: the request must neither
// hold the lock while waiting for that thread nor be lost. An older dialog
// that ends meanwhile leaves the newer one registered; the one that ends
// leaves none, so a late close request reaches no window.
TEST(WizardWindowRegistry, TheConnectingTimerAskedForWhileTheWaitWindowInitialisesTicks) {
    WizardWindowRegistry windows;
    testing::TestDialog dialog;
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
