// The wizard dialog on both platforms without a page of its own: its frame,
// and the wait wizard's close request before its window exists.
#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <future>
#include <string>

#include "gateway/engine_module_info.h"
#include "shopper/registry_data.h"
#include "shopper/registry_sandbox.h"
#include "wizard/wizard_controller.h"
#include "wizard/wizard_run.h"

namespace zun {
namespace {

namespace ui = platform::ui;
using testing::StartBareWizard;

constexpr auto kBrowserStartLimit = std::chrono::seconds(30);

std::string ControlText(ui::WindowHandle window, int control) {
    char text[1024] = {};
    EXPECT_EQ(ui::GetControlText(window, control, text, sizeof text), 0u);
    return text;
}

// The frame a person sees. A control-click on the zone icon (the pane's
// first 19 pixels) opens the About box's engine page, with shift its
// affiliation page when the publisher is known.
TEST(WizardFrame, TheAboutBoxBehindTheZoneIconSizingAndHiding) {
    GatewayRecord record{};
    record.wizardWidth = 640;
    record.wizardHeight = 480;
    char publisher[64] = {};
    auto run = StartBareWizard(&record);
    ASSERT_TRUE(run->WaitForWindow());
    // The caption of the About box that a click at the zone pane's left + dx
    // with `keys` opens, or "<none>". `inspect` sees the box while it is
    // open; there Esc (IDCANCEL) does nothing and OK closes it.
    const auto clickAt = [&](int32_t dx, uintptr_t keys, std::function<void(ui::WindowHandle)> inspect = nullptr) {
        const std::string caption = testing::ClickTheZonePane(*run, dx, keys, [&](ui::WindowHandle box) {
            if (inspect) inspect(box);
            ui::SendWindowMessage(box, ui::kMsgCommand, static_cast<uintptr_t>(ui::kIdCancel), 0, nullptr);
            EXPECT_EQ(TheWizardWindowRegistry().RunningAbout(), box);
            ui::SendWindowMessage(box, ui::kMsgCommand, static_cast<uintptr_t>(ui::kIdOk), 0, nullptr);
        });
        EXPECT_EQ(TheWizardWindowRegistry().RunningAbout(), nullptr);
        return caption;
    };
    const uintptr_t control = ui::kMouseLeftButton | ui::kMouseControl;
    RefreshEngineModuleInfo();
    EXPECT_EQ(clickAt(19, control,
                      [](ui::WindowHandle box) { EXPECT_EQ(ControlText(box, 211), TheEngineModuleInfo().modulePath); }),
              "About Orvella Engine");
    // Off the icon, without control, or the affiliation page of no publisher.
    const std::pair<int32_t, uintptr_t> missed[] = {
        {20, control}, {0, control}, {5, ui::kMouseLeftButton | ui::kMouseShift}, {5, control | ui::kMouseShift}};
    for (const auto& [dx, keys] : missed) EXPECT_EQ(clickAt(dx, keys), "<none>") << dx << " " << keys;

    // The affiliation page shows the web store address saved for the
    // publisher's SKU (key paths do not heed letter case), its lines cut to
    // the box's buffer (511 characters).
    const std::string publisherID = testing::UniqueName("pub"), longId(600, 'x');
    const std::string sku = "SOFTWARE\\ORVELLA\\AFFILIATES\\" + publisherID + "\\SKU-1";
    EXPECT_TRUE(
        WriteRegistryString(platform::RegistryRoot::CurrentUser, sku.c_str(), "URL", "https://shop.example.test/aff"));
    std::strcpy(publisher, publisherID.c_str());
    run->Do([&](CWizardDialog&) {
        record.publisherID = publisher;
        record.skuRefNum = "SKU-1";
        record.affiliateID = longId.c_str();
    });
    EXPECT_EQ(clickAt(5, control | ui::kMouseShift,
                      [&](ui::WindowHandle box) {
                          EXPECT_EQ(ControlText(box, 203), ("affiliateID: " + longId).substr(0, 511));
                          EXPECT_EQ(ControlText(box, 211), "https://shop.example.test/aff");
                          EXPECT_TRUE(ui::IsControlVisible(box, 211));
                      }),
              "About Orvella Affiliation");

    // Sizing: cut to the work area, the browser's host growing with the
    // window; hiding and showing again.
    ASSERT_TRUE(run->WaitUntil([](CWizardDialog& dialog) { return ui::IsWindowVisible(dialog.Window()); }));
    run->Do([](CWizardDialog& dialog) {
        // Left, top, width and height.
        const auto bounds = [&] {
            ui::Rect rect;
            ui::GetWindowRect(dialog.Window(), &rect);
            return std::array<int32_t, 4>{rect.left, rect.top, rect.Width(), rect.Height()};
        };
        ui::Rect area;
        ASSERT_EQ(ui::GetWorkArea(&area), 0u);
        std::array<int32_t, 4> window = bounds();
        EXPECT_EQ(window[2], 640);
        EXPECT_EQ(window[3], 480);
        EXPECT_LE(std::abs((window[0] - area.left) - (area.right - window[0] - window[2])), 1);  // centred

        const ui::WindowHandle host = ui::GetDialogItem(dialog.Window(), ui::kBrowserControlId);
        ui::Rect before, after;
        ui::GetClientRect(host, &before);
        dialog.ResizeWizard(area.Width() + 300, 600, true, true, false);
        ui::GetClientRect(host, &after);
        EXPECT_EQ(bounds()[2], area.Width());
        EXPECT_EQ(bounds()[3], 600);
        EXPECT_EQ(after.Width() - before.Width(), area.Width() - 640);
        EXPECT_EQ(after.Height() - before.Height(), 600 - 480);

        // Host flags only gain bits; a size <= 0 changes nothing at all.
        dialog.ResizeWizard(500, 400, false, false, true);
        EXPECT_EQ(dialog.DocHostFlags(), 0x4000Du);
        window = bounds();
        dialog.ResizeWizard(0, 300, true, true, true);
        dialog.ResizeWizard(300, -1, true, true, true);
        EXPECT_EQ(bounds(), window);
        EXPECT_EQ(window[2], 500);

        EXPECT_EQ(dialog.HideWizard(false), 0);  // not hidden
        EXPECT_EQ(dialog.HideWizard(true), 1);
        EXPECT_EQ(bounds()[2], 0);
        EXPECT_TRUE(ui::IsToolWindow(dialog.Window()));
        EXPECT_EQ(dialog.HideWizard(false), 1);
        EXPECT_EQ(bounds()[2], 500);
        EXPECT_EQ(bounds()[3], 400);
        EXPECT_FALSE(ui::IsToolWindow(dialog.Window()));
        EXPECT_TRUE(ui::IsWindowVisible(dialog.Window()));
    });
}

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
    EXPECT_EQ(windows.RunningWizard(), nullptr);

    windows.ResetWaitRequests();
    run = std::async(std::launch::async, [&] { return controller.RunWaitWizard(); });
    const auto end = std::chrono::steady_clock::now() + kBrowserStartLimit;
    while (windows.RunningWizard() == nullptr && std::chrono::steady_clock::now() < end) {
        ASSERT_EQ(run.wait_for(std::chrono::milliseconds(5)), std::future_status::timeout) << "ended unasked";
    }
    EXPECT_TRUE(windows.CloseRunningWizard());
    ASSERT_EQ(run.wait_for(kBrowserStartLimit), std::future_status::ready);
    windows.ResetWaitRequests();
}

}  // namespace
}  // namespace zun
