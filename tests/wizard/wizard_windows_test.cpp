// The wizard's windows under Wine: the templates with their controls and the
// browser control in place, the keyboard hook in the dialog's real message
// loop, the About box's keys, and screenshots of the wizard and of both About
// pages for a person to look at (BMP files in the build tree's
// wizard-screenshots folder).
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

#include "platform/browser.h"
#include "platform/win32/browser_win32.h"
#include "ui/test_dialog.h"
#include "wizard/wizard_keyboard_hook.h"
#include "wizard/wizard_run.h"
#include "wizard/wizard_window_registry.h"

namespace zun {
namespace {

namespace ui = platform::ui;
using testing::WizardRun;

HWND Hwnd(ui::WindowHandle window) { return reinterpret_cast<HWND>(window); }

bool Uniform(const std::string& picture) {
    return std::adjacent_find(picture.begin(), picture.end(), std::not_equal_to<>()) == picture.end();
}

// Saves what the window shows as NAME.bmp, once the display shows it drawn:
// two captures in a row alike, and not all one colour (bounded). A modal
// dialog is shown only once its loop goes idle, which the tests' own messages
// may come before.
void Screenshot(ui::WindowHandle window, const char* name) {
    HWND hwnd = Hwnd(window);
    ShowWindow(hwnd, SW_SHOW);
    SetWindowPos(hwnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW | RDW_FRAME);
    RECT rect;
    ASSERT_TRUE(GetWindowRect(hwnd, &rect));
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    // A bottom-up 24-bit picture, as a BMP file holds it: rows padded to
    // four bytes.
    BITMAPINFO info{};
    info.bmiHeader = {sizeof info.bmiHeader, width, height, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    ASSERT_NE(bitmap, nullptr);
    HGDIOBJ previous = SelectObject(memory, bitmap);
    const DWORD size = static_cast<DWORD>((width * 3 + 3) / 4 * 4 * height);
    std::string picture, before;
    for (int round = 0; round < 250 && (picture != before || Uniform(picture)); ++round) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        Sleep(20);
        EXPECT_TRUE(BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY));
        GdiFlush();
        before.swap(picture);
        picture.assign(static_cast<const char*>(bits), size);
    }
    SelectObject(memory, previous);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    const DWORD headers = sizeof(BITMAPFILEHEADER) + sizeof info.bmiHeader;
    const BITMAPFILEHEADER file{0x4D42, headers + size, 0, 0, headers};
    CreateDirectoryA(ZUN_SCREENSHOTS, nullptr);
    std::ofstream out(std::string(ZUN_SCREENSHOTS) + "/" + name + ".bmp", std::ios::binary);
    out.write(reinterpret_cast<const char*>(&file), sizeof file);
    out.write(reinterpret_cast<const char*>(&info.bmiHeader), sizeof info.bmiHeader);
    out << picture;
    EXPECT_TRUE(out.good()) << name;
    EXPECT_FALSE(Uniform(picture)) << name;
}

class CountingEvents final : public platform::browser::BrowserEvents {
public:
    void OnBeforeNavigate2(const char*) override {}
    void OnDocumentComplete(const char*) override {}
    void OnDownloadBegin() override {}
    void OnDownloadComplete() override {}
    void OnProgressChange(int32_t, int32_t) override {}
    void OnSetSecureLockIcon(int32_t) override {}
    void OnBrowserFailed(Status) override {}
};

// The browser control is activated in place in the wizard's template, reads
// the host flags from its site and takes a navigation with a POST body even
// where it cannot show the page.
TEST(WizardWindows, TemplatesComeUpWithTheirControlsAndTheBrowserInPlace) {
    testing::TestDialog wizard;
    CountingEvents events;
    wizard.onInit = [&](ui::WindowHandle self) {
        EXPECT_TRUE(GetWindowLongA(Hwnd(self), GWL_STYLE) & WS_SYSMENU);
        std::unique_ptr<platform::browser::Browser> control;
        EXPECT_EQ(platform::browser::CreateBrowser(self, 4242, events, &control), ZUN_E_CONTROL_NOT_FOUND);
        ASSERT_EQ(platform::browser::CreateBrowser(self, ui::kBrowserControlId, events, &control), 0u);
        auto& host = static_cast<platform::win32::Win32Browser&>(*control);
        EXPECT_TRUE(host.IsInPlaceActive());
        ASSERT_EQ(control->SetHostFlags(0x0D | 0x40000), 0u);
        EXPECT_EQ(host.HostFlagsSeenByControl(), 0x4000Du);
        platform::PostDataArgument body;
        const uint8_t bytes[] = {'a', '=', 0x02, 0xFF};
        ASSERT_EQ(body.Assign(bytes, sizeof bytes), 0u);
        EXPECT_EQ(control->Navigate("http://127.0.0.1:9/secure/Prefill.aspx", &body,
                                    "Content-Type: application/x-www-form-urlencoded\r\n"),
                  0u);
        control.reset();
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
        // Another dialog's browser going does not take this one's place away.
        RecordingBrowser other;
        keyboard::ForgetInPlaceObject(&other);
        EXPECT_EQ(keyboard::InPlaceObject(), &recorder);
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
