// The wizard's windows under Wine: screenshots for a person to look at (BMP
// files in the build tree's wizard-screenshots folder) and the keys, in the
// dialogs' real message loops.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "platform/win32/browser_win32.h"
#include "wizard/wizard_keyboard_hook.h"
#include "wizard/wizard_run.h"

namespace zun {
namespace {

namespace ui = platform::ui;
using testing::StartBareWizard;

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

// The keys the dialog's loop takes, after every hook ran.
std::vector<WPARAM> gKeysDown;
HHOOK gObserver = nullptr;

LRESULT CALLBACK Observe(int code, WPARAM wParam, LPARAM lParam) {
    const MSG* msg = reinterpret_cast<MSG*>(lParam);
    if (code >= 0 && wParam == PM_REMOVE && msg->message == WM_KEYDOWN) gKeysDown.push_back(msg->wParam);
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

// Screenshots of the wizard and of both About pages, and the About box's
// Enter; then the wizard's own keys: the browser control is active in place
// and sees the host flags, and the keyboard hook hands every key to the
// browser and hides Tab and arrows from the dialog.
TEST(WizardWindows, ScreenshotsOfTheWizardAndBothAboutPagesAndTheAboutKeys) {
    GatewayRecord record{};
    record.wizardWidth = 640;
    record.wizardHeight = 480;
    char publisher[] = "PUB-SHOT";
    record.publisherID = publisher;
    record.affiliateID = "AFF-42";
    record.trackingID = "TRACK-7";
    auto run = StartBareWizard(&record);
    ASSERT_TRUE(run->WaitForWindow());
    run->Do([](CWizardDialog& dialog) {
        SetWindowTextA(Hwnd(dialog.Window()), "Orvella Store");
        dialog.OnSetSecureLockIcon(6);
        Screenshot(dialog.Window(), "wizard");
    });

    // Control-click (engine page) and control+shift-click (affiliation page)
    // on the zone icon; Enter reaches the box past the wizard's keyboard hook
    // and closes it. (That Esc leaves it open is the frame test's.)
    for (const auto& [keys, name] : {std::pair<uintptr_t, const char*>{MK_LBUTTON | MK_CONTROL, "about-engine"},
                                     {MK_LBUTTON | MK_CONTROL | MK_SHIFT, "about-affiliation"}}) {
        const std::string caption = testing::ClickTheZonePane(*run, 5, keys, [&](ui::WindowHandle box) {
            Screenshot(box, name);
            PostMessageA(Hwnd(box), WM_KEYDOWN, VK_RETURN, 0);
            PostMessageA(Hwnd(box), WM_KEYUP, VK_RETURN, 0);
        });
        EXPECT_NE(caption, "<none>") << name;
        EXPECT_EQ(TheWizardWindowRegistry().RunningAbout(), nullptr);
    }

    namespace keyboard = wizard_keyboard;
    RecordingBrowser recorder;
    run->Do([&](CWizardDialog& dialog) {
        auto& control = static_cast<platform::win32::Win32Browser&>(*dialog.Browser());
        EXPECT_TRUE(control.IsInPlaceActive());
        dialog.ResizeWizard(500, 300, true, true, false);
        EXPECT_EQ(control.HostFlagsSeenByControl(), 0x4000Du);
        EXPECT_TRUE(keyboard::IsKeyboardHookInstalled());
        // The observer goes in first, so that the wizard's hook, installed
        // again after it, runs before it.
        gKeysDown.clear();
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
    run->Do([](CWizardDialog&) {});  // the loop has taken the keys
    run->Do([&](CWizardDialog& dialog) {
        UnhookWindowsHookEx(gObserver);
        // Another dialog's browser going does not take this one's place away.
        RecordingBrowser other;
        keyboard::ForgetInPlaceObject(&other);
        EXPECT_EQ(keyboard::InPlaceObject(), &recorder);
        keyboard::SetInPlaceObject(dialog.Browser());
    });
    EXPECT_EQ(recorder.keys, (std::vector<uint32_t>{VK_TAB, 'A', VK_LEFT, VK_DOWN, VK_BACK}));
    EXPECT_EQ(gKeysDown, std::vector<WPARAM>{'A'});
}

}  // namespace
}  // namespace zun
