// The wizard dialog's frame on both platforms: the lock and its tooltips, the
// About box behind the zone icon, sizing and hiding. The dialog runs without a
// page of its own. (The keyboard filter is tested in the Windows dialog's own
// loop.)
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/browser.h"
#include "wizard/wizard_run.h"
#include "wizard/wizard_window_registry.h"

namespace zun {
namespace {

namespace ui = platform::ui;
using testing::WizardRun;

std::unique_ptr<WizardRun> StartBareDialog(GatewayRecord* record) {
    return std::make_unique<WizardRun>([record](CWizardDialog& dialog) {
        dialog.m_nWizardMode = 0;  // no page: the frame alone
        dialog.m_pGatewayRecord = record;
    });
}

std::string PaneTip(CWizardDialog& dialog, int pane) {
    char tip[128] = {};
    ui::GetStatusBarTipText(dialog.StatusBar(), pane, tip, sizeof tip);
    return tip;
}

intptr_t At(int32_t x, int32_t y) { return static_cast<intptr_t>((y << 16) | (x & 0xFFFF)); }

// The lock shows for the secure values only, its tooltip naming the key
// length; a control-click on the zone icon opens the About box, with shift
// the affiliation page when the publisher is known.
TEST(WizardFrame, TheLockAndTheAboutBoxBehindTheZoneIcon) {
    GatewayRecord record{};
    record.wizardWidth = 640;
    record.wizardHeight = 480;
    char publisher[] = "PUB-1";
    record.affiliateID = "AFF-1";
    auto run = StartBareDialog(&record);
    ASSERT_TRUE(run->WaitForWindow());
    run->Do([](CWizardDialog& dialog) {
        EXPECT_EQ(ui::GetStatusBarIcon(dialog.StatusBar(), CWizardDialog::kZonePane), ui::kZoneIcon);
        EXPECT_EQ(ui::GetStatusBarIcon(dialog.StatusBar(), CWizardDialog::kLockPane), 0);
        const std::pair<int32_t, const char*> secure[] = {
            {3, "SSL Secured (40 bit)"}, {4, "SSL Secured (56 bit)"}, {6, "SSL Secured (128 bit)"}};
        for (const auto& [value, tip] : secure) {
            dialog.OnSetSecureLockIcon(value);
            EXPECT_EQ(ui::GetStatusBarIcon(dialog.StatusBar(), CWizardDialog::kLockPane), ui::kLockIcon) << value;
            EXPECT_EQ(PaneTip(dialog, CWizardDialog::kLockPane), tip);
        }
        for (int32_t value : {0, 1, 2, 5, 7, -1}) {
            dialog.OnSetSecureLockIcon(6);
            dialog.OnSetSecureLockIcon(value);
            EXPECT_EQ(ui::GetStatusBarIcon(dialog.StatusBar(), CWizardDialog::kLockPane), 0) << value;
        }
        // Without a certificate a double-click on the lock does nothing.
        dialog.OnSetSecureLockIcon(6);
        ui::Rect lock;
        ui::GetStatusBarPartRect(dialog.StatusBar(), CWizardDialog::kLockPane, &lock);
        EXPECT_EQ(ui::SendWindowMessage(dialog.StatusBar(), ui::kMsgLButtonDoubleClick, ui::kMouseLeftButton,
                                        At(lock.left + 8, lock.top + 4), nullptr),
                  0u);
    });
    // Clicks the zone pane at left + dx with `keys`; the caption of the
    // About box that opened, or "" when none did.
    const auto clickAt = [&](int32_t dx, uintptr_t keys) {
        std::string caption = "<none>";
        run->Do([&](CWizardDialog& dialog) {
            ui::Rect zone;
            ui::GetStatusBarPartRect(dialog.StatusBar(), CWizardDialog::kZonePane, &zone);
            // Runs inside the About box's loop, when there is one.
            ui::PostWindowTask(dialog.Window(), [&] {
                if (ui::WindowHandle box = TheWizardWindowRegistry().RunningAbout()) {
                    char text[64] = {};
                    ui::GetCaption(box, text, sizeof text);
                    caption = text;
                    ui::SendWindowMessage(box, ui::kMsgCommand, static_cast<uintptr_t>(ui::kIdOk), 0, nullptr);
                }
            });
            ui::SendWindowMessage(dialog.StatusBar(), ui::kMsgLButtonDown, keys, At(zone.left + dx, zone.top + 4),
                                  nullptr);
        });
        run->Do([](CWizardDialog&) {});  // the posted task has run
        return caption;
    };
    const uintptr_t control = ui::kMouseLeftButton | ui::kMouseControl;
    EXPECT_EQ(clickAt(19, control), "About Orvella Engine");
    EXPECT_EQ(clickAt(20, control), "<none>");
    EXPECT_EQ(clickAt(0, control), "<none>");
    EXPECT_EQ(clickAt(5, ui::kMouseLeftButton), "<none>");
    EXPECT_EQ(clickAt(5, ui::kMouseLeftButton | ui::kMouseShift), "<none>");
    // Control and shift: the affiliation page, when the publisher is known.
    EXPECT_EQ(clickAt(5, control | ui::kMouseShift), "<none>");
    run->Do([&](CWizardDialog&) { record.publisherID = publisher; });
    EXPECT_EQ(clickAt(5, control | ui::kMouseShift), "About Orvella Affiliation");
}

TEST(WizardFrame, ResizeCutsToTheWorkAreaAndHidingRestores) {
    GatewayRecord record{};
    record.wizardWidth = 640;
    record.wizardHeight = 480;
    auto run = StartBareDialog(&record);
    ASSERT_TRUE(run->WaitForWindow());
    // A modal dialog is shown once its loop first goes idle.
    ASSERT_TRUE(run->WaitUntil([](CWizardDialog& dialog) { return ui::IsWindowVisible(dialog.Window()); }));
    run->Do([](CWizardDialog& dialog) {
        ui::Rect area;
        ASSERT_EQ(ui::GetWorkArea(&area), 0u);
        ui::Rect window;
        ui::GetWindowRect(dialog.Window(), &window);
        EXPECT_EQ(window.Width(), 640);
        EXPECT_EQ(window.Height(), 480);
        // Centred on the screen at start.
        EXPECT_LE(std::abs((window.left - area.left) - (area.right - window.right)), 1);

        const ui::WindowHandle host = ui::GetDialogItem(dialog.Window(), ui::kBrowserControlId);
        ui::Rect before;
        ui::GetClientRect(host, &before);
        dialog.ResizeWizard(area.Width() + 300, 600, true, true, false);
        ui::GetWindowRect(dialog.Window(), &window);
        EXPECT_EQ(window.Width(), area.Width());
        EXPECT_EQ(window.Height(), 600);
        ui::Rect after;
        ui::GetClientRect(host, &after);
        EXPECT_EQ(after.Width() - before.Width(), area.Width() - 640);
        EXPECT_EQ(after.Height() - before.Height(), 600 - 480);
        EXPECT_EQ(dialog.DocHostFlags(), 0x4000Du);

        // Host flags only gain bits; a size <= 0 changes nothing at all.
        dialog.ResizeWizard(500, 400, false, false, true);
        EXPECT_EQ(dialog.DocHostFlags(), 0x4000Du);
        ui::GetWindowRect(dialog.Window(), &window);
        dialog.ResizeWizard(0, 300, true, true, true);
        dialog.ResizeWizard(300, -1, true, true, true);
        ui::Rect unchanged;
        ui::GetWindowRect(dialog.Window(), &unchanged);
        EXPECT_EQ(unchanged.left, window.left);
        EXPECT_EQ(unchanged.Width(), 500);
        EXPECT_EQ(unchanged.Height(), 400);

        EXPECT_EQ(dialog.HideWizard(false), 0);  // not hidden
        EXPECT_EQ(dialog.HideWizard(true), 1);
        ui::Rect hidden;
        ui::GetWindowRect(dialog.Window(), &hidden);
        EXPECT_EQ(hidden.Width(), 0);
        EXPECT_TRUE(ui::IsToolWindow(dialog.Window()));
        EXPECT_EQ(dialog.HideWizard(false), 1);
        ui::Rect shown;
        ui::GetWindowRect(dialog.Window(), &shown);
        EXPECT_EQ(shown.Width(), 500);
        EXPECT_EQ(shown.Height(), 400);
        EXPECT_FALSE(ui::IsToolWindow(dialog.Window()));
        EXPECT_TRUE(ui::IsWindowVisible(dialog.Window()));
    });
}

}  // namespace
}  // namespace zun
