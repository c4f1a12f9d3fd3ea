// The controller's runs on both platforms: the wait wizard's close request
// before its window exists, and the About box with its two pages.
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <string>

#include "gateway/engine_module_info.h"
#include "shopper/registry_sandbox.h"
#include "ui/test_dialog.h"
#include "wizard/wizard_controller.h"
#include "wizard/wizard_mode.h"
#include "wizard/wizard_window_registry.h"

namespace zun {
namespace {

namespace ui = platform::ui;

constexpr auto kBrowserStartLimit = std::chrono::seconds(30);

// The handshake's worker may finish before the wait window exists: its close
// request is kept and ends the window as soon as it opens, until a new
// handshake resets it.
TEST(WizardRuns, WaitWizardClosedBeforeItsWindowExistsEndsAsSoonAsItOpens) {
    WizardController& controller = TheWizardController();
    WizardWindowRegistry& windows = TheWizardWindowRegistry();
    windows.ResetWaitRequests();
    windows.CloseRunningWizard();  // no window yet
    auto run = std::async(std::launch::async, [&] { return controller.RunWaitWizard(); });
    ASSERT_EQ(run.wait_for(kBrowserStartLimit), std::future_status::ready);
    EXPECT_EQ(run.get(), 0u);
    EXPECT_EQ(controller.GetWizardMode(), WIZARDMODE_WAIT);
    EXPECT_EQ(windows.RunningWizard(), nullptr);

    windows.ResetWaitRequests();
    run = std::async(std::launch::async, [&] { return controller.RunWaitWizard(); });
    const auto end = std::chrono::steady_clock::now() + kBrowserStartLimit;
    while (windows.RunningWizard() == nullptr && std::chrono::steady_clock::now() < end) {
        ASSERT_EQ(run.wait_for(std::chrono::milliseconds(5)), std::future_status::timeout) << "ended unasked";
    }
    EXPECT_TRUE(windows.CloseRunningWizard());
    ASSERT_EQ(run.wait_for(kBrowserStartLimit), std::future_status::ready);
    EXPECT_EQ(windows.RunningWizard(), nullptr);
    windows.ResetWaitRequests();
}

// Runs the About box from inside another dialog's loop, as the wizard does,
// and hands its window to `inspect` while it is open.
struct AboutBox {
    Status status = 1;
    bool opened = false;

    void Run(int32_t kind, const char* publisherID, const char* sku, const char* affiliateID, const char* trackingID,
             const std::function<void(ui::WindowHandle)>& inspect) {
        testing::TestDialog owner;
        owner.onInit = [&](ui::WindowHandle self) {
            ui::PostWindowTask(self, [&, self] {
                ui::PostWindowTask(self, [&] {
                    ui::WindowHandle box = TheWizardWindowRegistry().RunningAbout();
                    opened = box != nullptr;
                    if (box == nullptr) return;
                    inspect(box);
                    // Esc is taken and does nothing; OK (Enter) closes.
                    ui::SendWindowMessage(box, ui::kMsgCommand, static_cast<uintptr_t>(ui::kIdCancel), 0, nullptr);
                    EXPECT_EQ(TheWizardWindowRegistry().RunningAbout(), box);
                    ui::SendWindowMessage(box, ui::kMsgCommand, static_cast<uintptr_t>(ui::kIdOk), 0, nullptr);
                });
                status = TheWizardController().RunEasterEgg(kind, publisherID, sku, affiliateID, trackingID);
                ui::EndDialog(self, 1);
            });
        };
        EXPECT_EQ(owner.Run(), 1);
        EXPECT_EQ(TheWizardWindowRegistry().RunningAbout(), nullptr);
    }
};

std::string Text(ui::WindowHandle box, int control) {
    char text[1024] = {};
    EXPECT_EQ(ui::GetControlText(box, control, text, sizeof text), 0u);
    return text;
}

std::string Caption(ui::WindowHandle box) {
    char text[256] = {};
    ui::GetCaption(box, text, sizeof text);
    return text;
}

TEST(AboutBox, EnginePageShowsVersionAndFileLocation) {
    RefreshEngineModuleInfo();
    const EngineModuleInfo& module = TheEngineModuleInfo();
    AboutBox about;
    about.Run(2, nullptr, nullptr, nullptr, nullptr, [&](ui::WindowHandle box) {
        EXPECT_EQ(Caption(box), "About Orvella Engine");
        EXPECT_EQ(Text(box, 203), std::string("DEBUG Brevik.dll, Version ") + module.versionText);
        EXPECT_FALSE(Text(box, 209).empty());
        EXPECT_EQ(Text(box, 210), "File Location:");
        EXPECT_EQ(Text(box, 211), module.modulePath);
        EXPECT_EQ(Text(box, 1), "OK");
        EXPECT_FALSE(ui::IsControlVisible(box, 206));
    });
    EXPECT_TRUE(about.opened);
    EXPECT_EQ(about.status, 0u);
}

TEST(AboutBox, AffiliationPageShowsTheAffiliateAndItsWebStore) {
    const std::string publisher = testing::UniqueName("pub");
    testing::PutText(platform::RegistryRoot::CurrentUser, "Software\\Orvella\\Affiliates\\" + publisher + "\\SKU-1",
                     "URL", "https://shop.example.test/aff");
    AboutBox about;
    about.Run(1, publisher.c_str(), "SKU-1", "AFF-7", nullptr, [&](ui::WindowHandle box) {
        EXPECT_EQ(Caption(box), "About Orvella Affiliation");
        EXPECT_EQ(Text(box, 203), "affiliateID: AFF-7");
        EXPECT_EQ(Text(box, 209), "trackingID: ");
        EXPECT_EQ(Text(box, 210), "webstoreURL: ");
        EXPECT_EQ(Text(box, 211), "https://shop.example.test/aff");
        EXPECT_TRUE(ui::IsControlVisible(box, 211));
        EXPECT_FALSE(ui::IsControlVisible(box, 206));
    });
    EXPECT_TRUE(about.opened);

    // No web store address: the value field goes, the label stays; a line
    // longer than the box's buffer is cut to 511 characters.
    const std::string longId(600, 'x');
    AboutBox bare;
    bare.Run(1, publisher.c_str(), "SKU-2", longId.c_str(), "T-1", [&](ui::WindowHandle box) {
        EXPECT_EQ(Text(box, 203), ("affiliateID: " + longId).substr(0, 511));
        EXPECT_EQ(Text(box, 209), "trackingID: T-1");
        EXPECT_EQ(Text(box, 210), "webstoreURL: ");
        EXPECT_FALSE(ui::IsControlVisible(box, 211));
    });
    EXPECT_TRUE(bare.opened);

    // Without a publisher there is no affiliation to show; other kinds are
    // refused.
    AboutBox none;
    none.Run(1, nullptr, "SKU", "A", "T", [](ui::WindowHandle) {});
    EXPECT_FALSE(none.opened);
    EXPECT_EQ(none.status, 0u);
    EXPECT_EQ(TheWizardController().RunEasterEgg(3, "p", "s", "a", "t"), ZUN_E_INVALID_ARG);
    EXPECT_EQ(TheWizardController().RunEasterEgg(-1, "p", "s", "a", "t"), ZUN_E_INVALID_ARG);
}

}  // namespace
}  // namespace zun
