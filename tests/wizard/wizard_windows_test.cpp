// The wizard's windows under Wine: the templates with their controls, the
// keyboard hook in the dialog's real message loop, the About box's keys, and
// screenshots of the wizard and of both About pages for a person to look at
// (PNG files in the build tree's wizard-screenshots folder).
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/browser.h"
#include "ui/test_dialog.h"
#include "wizard/png_file.h"
#include "wizard/wizard_keyboard_hook.h"
#include "wizard/wizard_run.h"
#include "wizard/wizard_window_registry.h"

namespace zun {
namespace {

namespace ui = platform::ui;
using testing::WizardRun;

HWND Hwnd(ui::WindowHandle window) { return reinterpret_cast<HWND>(window); }

// Saves what the window shows now as NAME.png. A modal dialog is shown only
// once its loop goes idle, which the tests' own messages may come before.
void Screenshot(ui::WindowHandle window, const char* name) {
    HWND hwnd = Hwnd(window);
    ShowWindow(hwnd, SW_SHOW);
    SetWindowPos(hwnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW | RDW_FRAME);
    // The display shows it once the window system has drawn it.
    for (int round = 0; round < 15; ++round) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        Sleep(20);
    }
    RECT rect;
    ASSERT_TRUE(GetWindowRect(hwnd, &rect));
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top row first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    ASSERT_NE(bitmap, nullptr);
    HGDIOBJ previous = SelectObject(memory, bitmap);
    EXPECT_TRUE(BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY));
    GdiFlush();
    const auto* pixels = static_cast<const uint8_t*>(bits);
    const std::vector<uint8_t> bgra(pixels, pixels + static_cast<size_t>(width) * height * 4);
    SelectObject(memory, previous);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    CreateDirectoryA(ZUN_SCREENSHOTS, nullptr);
    EXPECT_TRUE(testing::WritePng(std::string(ZUN_SCREENSHOTS) + "/" + name + ".png", width, height, bgra));
    // Something was drawn: not every pixel is the same.
    EXPECT_TRUE(std::adjacent_find(bgra.begin(), bgra.end(), std::not_equal_to<>()) != bgra.end()) << name;
}

TEST(WizardWindows, TemplatesComeUpWithTheirControls) {
    testing::TestDialog wizard;
    wizard.onInit = [](ui::WindowHandle self) {
        HWND host = GetDlgItem(Hwnd(self), ui::kBrowserControlId);
        EXPECT_NE(host, nullptr);
        EXPECT_TRUE(GetWindowLongA(Hwnd(self), GWL_STYLE) & WS_SYSMENU);
        ui::EndDialog(self, 1);
    };
    EXPECT_EQ(wizard.Run(ui::kWizardDialogTemplate), 1);

    testing::TestDialog about;
    about.onInit = [](ui::WindowHandle self) {
        for (int id : {1, 203, 209, 211, 210, 206}) EXPECT_NE(GetDlgItem(Hwnd(self), id), nullptr) << id;
        // No system menu: no close box.
        EXPECT_FALSE(GetWindowLongA(Hwnd(self), GWL_STYLE) & WS_SYSMENU);
        char className[64] = {};
        GetClassNameA(GetDlgItem(Hwnd(self), 206), className, sizeof className);
        EXPECT_STREQ(className, "msctls_progress32");
        ui::EndDialog(self, 1);
    };
    EXPECT_EQ(about.Run(ui::kEasterEggDialogTemplate), 1);
}

// Key messages as the dialog's loop takes them, after every hook ran.
std::vector<MSG> gSeen;
HHOOK gObserver = nullptr;

LRESULT CALLBACK Observe(int code, WPARAM wParam, LPARAM lParam) {
    if (code >= 0 && wParam == PM_REMOVE) gSeen.push_back(*reinterpret_cast<MSG*>(lParam));
    return CallNextHookEx(gObserver, code, wParam, lParam);
}

class RecordingBrowser final : public platform::browser::Browser {
public:
    Status Navigate(const char*, platform::PostDataArgument*, const char*) override { return 0; }
    Status GetDocument(platform::dom::DocumentRef*) override { return ZUN_E_NOT_FOUND; }
    Status SetHostFlags(uint32_t) override { return 0; }
    void TranslateKey(uint32_t, uint32_t key) override { keys.push_back(key); }
    std::vector<uint32_t> keys;
};

TEST(WizardWindows, KeyboardHookZeroesTabAndArrowsAndPassesOtherKeys) {
    namespace keyboard = wizard_keyboard;
    GatewayRecord record{};
    record.wizardWidth = 500;
    record.wizardHeight = 300;
    WizardRun run([&](CWizardDialog& dialog) {
        dialog.m_nWizardMode = 0;
        dialog.m_pGatewayRecord = &record;
    });
    ASSERT_TRUE(run.WaitForWindow());
    RecordingBrowser recorder;
    run.Do([&](CWizardDialog& dialog) {
        EXPECT_TRUE(keyboard::IsKeyboardHookInstalled());
        // The observer goes in first, so that the wizard's hook, installed
        // again after it, runs before it.
        gSeen.clear();
        gObserver = SetWindowsHookExA(WH_GETMESSAGE, Observe, nullptr, GetCurrentThreadId());
        ASSERT_NE(gObserver, nullptr);
        keyboard::RemoveKeyboardHook();
        keyboard::AddFilterFlags(keyboard::kTranslateThroughBrowser | keyboard::kFilteringOn);
        keyboard::SetInPlaceObject(&recorder);
        ASSERT_EQ(keyboard::InstallKeyboardHook(), 0u);
        for (WPARAM key : {WPARAM{VK_TAB}, WPARAM{'A'}, WPARAM{VK_LEFT}, WPARAM{VK_DOWN}, WPARAM{VK_BACK}}) {
            PostMessageA(Hwnd(dialog.Window()), WM_KEYDOWN, key, 0);
        }
    });
    run.Do([](CWizardDialog&) {});  // the loop has taken the keys
    run.Do([&](CWizardDialog& dialog) {
        UnhookWindowsHookEx(gObserver);
        keyboard::SetInPlaceObject(dialog.Browser());
    });
    EXPECT_EQ(recorder.keys, (std::vector<uint32_t>{VK_TAB, 'A', VK_LEFT, VK_DOWN, VK_BACK}));
    std::vector<WPARAM> keysDown;
    int zeroed = 0;
    for (const MSG& msg : gSeen) {
        if (msg.message == WM_KEYDOWN) keysDown.push_back(msg.wParam);
        if (msg.message == 0 && msg.hwnd == nullptr && msg.wParam == 0) ++zeroed;
    }
    EXPECT_EQ(keysDown, std::vector<WPARAM>{'A'});
    EXPECT_GE(zeroed, 4);
}

TEST(WizardWindows, ScreenshotsOfTheWizardAndBothAboutPagesAndTheAboutKeys) {
    GatewayRecord record{};
    record.wizardWidth = 640;
    record.wizardHeight = 480;
    char publisher[] = "PUB-SHOT";
    record.publisherID = publisher;
    record.affiliateID = "AFF-42";
    record.trackingID = "TRACK-7";
    WizardRun run([&](CWizardDialog& dialog) {
        dialog.m_nWizardMode = 0;
        dialog.m_pGatewayRecord = &record;
    });
    ASSERT_TRUE(run.WaitForWindow());
    run.Do([](CWizardDialog& dialog) {
        SetWindowTextA(Hwnd(dialog.Window()), "Orvella Store");
        dialog.OnSetSecureLockIcon(6);
        Screenshot(dialog.Window(), "wizard");
    });

    // Control-click (engine page) and control+shift-click (affiliation page)
    // on the zone icon; in the box, Esc does nothing and Enter closes it.
    const auto about = [&](uintptr_t keys, const char* name) {
        bool closedByEnter = false;
        run.Do([&](CWizardDialog& dialog) {
            ui::PostWindowTask(dialog.Window(), [&] {
                ui::WindowHandle box = TheWizardWindowRegistry().RunningAbout();
                ASSERT_NE(box, nullptr);
                Screenshot(box, name);
                PostMessageA(Hwnd(box), WM_KEYDOWN, VK_ESCAPE, 0);
                PostMessageA(Hwnd(box), WM_KEYUP, VK_ESCAPE, 0);
                ui::PostWindowTask(dialog.Window(), [&, box] {
                    EXPECT_TRUE(IsWindow(Hwnd(box)));
                    EXPECT_EQ(TheWizardWindowRegistry().RunningAbout(), box);
                    PostMessageA(Hwnd(box), WM_KEYDOWN, VK_RETURN, 0);
                    PostMessageA(Hwnd(box), WM_KEYUP, VK_RETURN, 0);
                    closedByEnter = true;
                });
            });
            ui::Rect zone;
            ui::GetStatusBarPartRect(dialog.StatusBar(), CWizardDialog::kZonePane, &zone);
            SendMessageA(Hwnd(dialog.StatusBar()), WM_LBUTTONDOWN, keys, MAKELPARAM(zone.left + 5, zone.top + 4));
        });
        EXPECT_TRUE(closedByEnter);
        EXPECT_EQ(TheWizardWindowRegistry().RunningAbout(), nullptr);
    };
    about(MK_LBUTTON | MK_CONTROL, "about-engine");
    about(MK_LBUTTON | MK_CONTROL | MK_SHIFT, "about-affiliation");
}

}  // namespace
}  // namespace zun
