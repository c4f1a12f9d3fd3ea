// The browser window as the dialog's frame: it follows the dialog's
// placement, its close box and Esc reach the dialog, page script can
// neither close it nor fake the key, and a browser that is missing or gone
// ends the dialog.
#include <signal.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "browser/browser_environment.h"
#include "page_size.h"

namespace zun {
namespace {

namespace ui = platform::ui;
using testing::BrowserHarness;
using testing::TheBrowser;
using testing::ThePages;

struct WindowState {
    ui::Rect dialog;
    ui::Rect browser;
    std::string state;
};

WindowState StateAfter(BrowserHarness& harness, const std::function<void(ui::WindowHandle)>& change) {
    WindowState result;
    harness.Do([&] {
        change(harness.Window());
        ui::GetWindowRect(harness.Window(), &result.dialog);
        EXPECT_EQ(harness.Browser().GetWindowBounds(&result.browser, &result.state), 0u);
    });
    return result;
}

// The corners of a rectangle, for comparing two.
std::vector<int32_t> Corners(const ui::Rect& rect) { return {rect.left, rect.top, rect.right, rect.bottom}; }

TEST(WindowFrame, BrowserWindowFollowsTheDialogWithThePageFillingItAndHidesWithIt) {
    BrowserHarness& harness = TheBrowser();
    WindowState sized = StateAfter(harness, [](ui::WindowHandle dialog) {
        ui::SetWindowSize(dialog, 700, 500);
        ui::CenterWindow(dialog, nullptr);
    });
    EXPECT_EQ(sized.state, "normal");
    EXPECT_EQ(sized.dialog.Width(), 700);
    EXPECT_EQ(Corners(sized.browser), Corners(sized.dialog));
    std::vector<double> page;
    harness.Do([&] { page = testing::SettledPageSize(harness.Browser(), {700, 500}); });
    EXPECT_EQ(page, (std::vector<double>{700, 500}));

    // Hidden as the wizard hides its window: out of sight.
    WindowState hidden = StateAfter(harness, [](ui::WindowHandle dialog) {
        ui::SetToolWindow(dialog, true);
        ui::SetWindowBounds(dialog, {-1000, -1000, -1000, -1000});
    });
    EXPECT_EQ(hidden.state, "minimized");

    WindowState shown = StateAfter(harness, [](ui::WindowHandle dialog) {
        ui::SetToolWindow(dialog, false);
        ui::SetWindowBounds(dialog, {100, 80, 600, 480});
    });
    EXPECT_EQ(shown.state, "normal");
    EXPECT_EQ(Corners(shown.browser), (std::vector<int32_t>{100, 80, 600, 480}));
}

TEST(WindowFrame, EscInThePageIsCancelAndScriptCanNeitherFakeItNorCloseTheWindow) {
    BrowserHarness& harness = TheBrowser();
    ASSERT_TRUE(harness.Open(ThePages().Http("/pages/elements.html")));
    harness.TakeEvents();
    Status status = 1;
    // Script's own key events and calls are not a person's key.
    harness.Do([&] {
        platform::dom::ElementRef ignored;
        harness.Browser().FindElement(
            "document.dispatchEvent(new KeyboardEvent('keydown', {key: 'Escape'})), "
            "(typeof __zunKey === 'function' && __zunKey('Escape')), window.close(), null",
            &ignored);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(800));
    EXPECT_EQ(harness.Count("Command"), 0u);
    EXPECT_EQ(harness.Count("Close"), 0u);
    EXPECT_FALSE(harness.Ended());

    harness.Do([&] { status = harness.Browser().PressKey("Escape", 27); });
    EXPECT_EQ(status, 0u);
    ASSERT_TRUE(harness.WaitForCount("Command", 1, std::chrono::seconds(5)));
    for (const testing::BrowserEvent& event : harness.TakeEvents()) {
        EXPECT_TRUE(event.kind != "Command" || event.value == ui::kIdCancel) << event.value;
    }
    harness.Do([&] { status = harness.Browser().PressKey("a", 65); });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(harness.Count("Command"), 0u);
}

// An outside program attached through the debugging port that the flags add
// closes the page, as a person closing the window does: the dialog gets its
// close box, not a browser failure. The flags' quoted host rule holds blanks.
TEST(WindowFrame, ClosingThePageFromOutsideIsTheDialogsCloseBox) {
    const std::string saved = std::getenv("ZUN_BROWSER_FLAGS");
    const int port = testing::FreePort();
    const std::string flags = saved + " --remote-debugging-port=" + std::to_string(port) +
                              " --host-resolver-rules=\"MAP frame.example.test 127.0.0.1\"";
    setenv("ZUN_BROWSER_FLAGS", flags.c_str(), 1);
    BrowserHarness harness;
    setenv("ZUN_BROWSER_FLAGS", saved.c_str(), 1);
    ASSERT_EQ(harness.CreateStatus(), 0u);

    std::string url = ThePages().Http("/pages/elements.html?through-the-host-rule");
    url.replace(url.find("127.0.0.1"), 9, "frame.example.test");
    ASSERT_TRUE(harness.Open(url));
    EXPECT_NE(ThePages().Requests().find("GET /pages/elements.html?through-the-host-rule "), std::string::npos);

    std::string targetId;
    harness.Do([&] { targetId = harness.Browser().TargetId(); });
    EXPECT_EQ(testing::StorePage("127.0.0.1:" + std::to_string(port), "/json/close/" + targetId), "Target is closing");
    EXPECT_TRUE(harness.WaitForEnd(std::chrono::seconds(10)));
    EXPECT_EQ(harness.EndCode(), -1);
    EXPECT_EQ(harness.Count("Close"), 1u);
    EXPECT_EQ(harness.Count("BrowserFailed"), 0u);
}

// A dialog whose browser is missing, exits at once or dies reports it and
// ends; nothing waits for a browser that is gone.
TEST(BrowserFailure, MissingExitingOrDyingBrowserEndsTheDialog) {
    for (const char* program : {"/nonexistent/chromium", "/bin/true"}) {
        setenv("ZUN_BROWSER_PATH", program, 1);
        BrowserHarness harness;
        unsetenv("ZUN_BROWSER_PATH");
        EXPECT_NE(harness.CreateStatus(), 0u) << program;
        EXPECT_TRUE(harness.WaitForEnd(std::chrono::seconds(10))) << program;
        EXPECT_EQ(harness.EndCode(), -1);
    }
    BrowserHarness harness;
    ASSERT_EQ(harness.CreateStatus(), 0u);
    ASSERT_TRUE(harness.Open(ThePages().Http("/pages/elements.html")));
    ASSERT_EQ(kill(-harness.Browser().ProcessId(), SIGKILL), 0);
    EXPECT_TRUE(harness.WaitForCount("BrowserFailed", 1, std::chrono::seconds(10)));
    EXPECT_TRUE(harness.WaitForEnd(std::chrono::seconds(10)));
    EXPECT_FALSE(harness.Do([] {}));
}

}  // namespace
}  // namespace zun
