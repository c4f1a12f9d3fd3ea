// The wait wizard in real headless Chromium, with the test thread as the
// handshake's worker: the notices, the progress bar, the connection-error
// question answered by clicks in the page, and the connection timer.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <future>
#include <iostream>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "child_process.h"
#include "dom/html_element.h"
#include "own_display.h"
#include "page_size.h"
#include "wizard/local_store.h"
#include "platform/posix/chromium_browser.h"
#include "trace_capture.h"
#include "wizard/wait_dialog_notice.h"
#include "wizard/wait_sender.h"
#include "wizard/wizard_mode.h"
#include "wizard/wizard_run.h"
#include "wizard/wizard_controller.h"
#include "wizard/wizard_window_registry.h"

namespace zun {
namespace {

namespace ui = platform::ui;
using ::testing::Contains;
using testing::AskConnectionError;
using testing::SendNotice;
using testing::SendProgress;
using testing::WizardRun;

constexpr int32_t kRefusedBeforeLoad = static_cast<int32_t>(ZUN_E_NOT_FOUND);
// A phase that changes nothing: it tells whether the page is hooked up.
constexpr uintptr_t kNoPhase = 99;

// As the handshake starts it: `timerWanted` is a network call begun before
// the window exists.
std::unique_ptr<WizardRun> StartWaitWizard(bool timerWanted = false) {
    TheWizardController().SetWizardMode(WIZARDMODE_WAIT);
    TheWizardWindowRegistry().ResetWaitRequests();
    TheWizardWindowRegistry().SetConnectionTimer(timerWanted);
    auto record = std::make_shared<GatewayRecord>();
    record->wizardWidth = 500;
    record->wizardHeight = 200;
    return std::make_unique<WizardRun>([record](CWizardDialog& dialog) {
        dialog.m_nWizardMode = WIZARDMODE_WAIT;
        dialog.m_pGatewayRecord = record.get();
    });
}

bool WaitForPage(WizardRun& run) {
    if (run.Ended()) return false;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < end) {
        if (SendProgress(0, 0, kNoPhase) == 0) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

std::string InnerText(CWizardDialog& dialog, const char* id) {
    platform::dom::DocumentRef document;
    if (dialog.Browser()->GetDocument(&document) != 0) return "?";
    HtmlElement page;
    page.HookupDocument(document);
    char text[512] = {};
    uint32_t size = sizeof text;
    return page.GetElementInnerText(id, text, &size) == 0 ? text : "?";
}

std::string RetryVisibility(CWizardDialog& dialog) {
    platform::dom::DocumentRef document;
    dialog.Browser()->GetDocument(&document);
    HtmlElement page;
    page.HookupDocument(document);
    platform::dom::ElementRef retry;
    std::optional<std::string> style;
    if (page.GetElement("bRetry", &retry) != 0 || retry->GetAttribute("style", &style) != 0 || !style) return "?";
    return style->find("visible") != std::string::npos ? "visible"
           : style->find("hidden") != std::string::npos ? "hidden"
                                                         : "?";
}

void Click(CWizardDialog& dialog, const char* id) {
    auto* chromium = static_cast<platform::posix::ChromiumBrowser*>(dialog.Browser());
    platform::dom::ElementRef element;
    ASSERT_EQ(chromium->FindElement((std::string("document.getElementById('") + id + "')").c_str(), &element), 0u);
    ASSERT_NE(element, nullptr);
    ASSERT_EQ(chromium->Click(*element), 0u);
}

bool Shown(CWizardDialog& dialog) {
    return !ui::IsToolWindow(dialog.Window()) && ui::IsWindowVisible(dialog.Window());
}

TEST(WaitPage, NoticesProgressAndTheConnectionErrorQuestionAnsweredByClicks) {
    auto run = StartWaitWizard();
    ASSERT_TRUE(run->WaitForWindow());
    // The page has not loaded yet: refused, but the update, told only once,
    // is shown as soon as the page is ready.
    EXPECT_EQ(SendNotice(ENGINEAUTOUPDATE, WaitDialogNotice{"early", "before the page", 0, 0, 0}),
              kRefusedBeforeLoad);
    ASSERT_TRUE(WaitForPage(*run));
    run->Do([](CWizardDialog& dialog) {
        EXPECT_EQ(dialog.m_nWizardMode, WIZARDMODE_ENGINEAUTOUPDATE);
        EXPECT_TRUE(Shown(dialog));
        char caption[64] = {};
        ui::GetCaption(dialog.Window(), caption, sizeof caption);
        EXPECT_STREQ(caption, "Network Manager");
        EXPECT_EQ(InnerText(dialog, "top_text"), "early");
        EXPECT_EQ(InnerText(dialog, "bottom_text"), "before the page");
        // The wait page gets the dialog host flags as well as the theme.
        EXPECT_EQ(dialog.DocHostFlags(), 0x4000Du);
    });

    EXPECT_EQ(SendNotice(ENGINEAUTOUPDATE, WaitDialogNotice{"Updating", "A new engine is on its way.", 0, 0, 0}), 0);
    run->Do([](CWizardDialog& dialog) {
        EXPECT_EQ(dialog.m_nWizardMode, WIZARDMODE_ENGINEAUTOUPDATE);
        EXPECT_TRUE(Shown(dialog));
        ui::Rect rect;
        ui::GetWindowRect(dialog.Window(), &rect);
        EXPECT_EQ(rect.Width(), 500);
        EXPECT_EQ(rect.Height(), 200);
        EXPECT_EQ(InnerText(dialog, "top_text"), "Updating");
        EXPECT_EQ(InnerText(dialog, "bottom_text"), "A new engine is on its way.");
        EXPECT_EQ(RetryVisibility(dialog), "hidden");
    });

    // Progress: a bar is made when a progress phase finds none; the percent
    // rules; a begin keeps an existing bar; complete removes it.
    // The page shows the bar as it is.
    const auto position = [&] {
        int32_t value = -1;
        run->Do([&](CWizardDialog& dialog) {
            value = dialog.ProgressBar() != nullptr ? ui::GetProgressPosition(dialog.ProgressBar()) : -1;
            std::vector<double> shown;
            static_cast<platform::posix::ChromiumBrowser*>(dialog.Browser())
                ->EvaluateNumbers("Array.from(document.querySelectorAll('progress'), (bar) => bar.value)", &shown);
            EXPECT_EQ(shown, value < 0 ? std::vector<double>{} : std::vector<double>{double(value)});
        });
        return value;
    };
    EXPECT_EQ(SendProgress(50, 200, kProgressUpdate), 0);
    EXPECT_EQ(position(), 25);
    EXPECT_EQ(SendProgress(0, 100, kProgressUpdate), 0);
    EXPECT_EQ(position(), 1);
    EXPECT_EQ(SendProgress(150, 100, kProgressUpdate), 0);
    EXPECT_EQ(position(), 100);
    EXPECT_EQ(SendProgress(10, 0, kProgressUpdate), 0);
    EXPECT_EQ(position(), 100);
    ui::WindowHandle bar = nullptr;
    run->Do([&](CWizardDialog& dialog) { bar = dialog.ProgressBar(); });
    EXPECT_EQ(SendProgress(0, 0, kProgressBegin), 0);
    run->Do([&](CWizardDialog& dialog) { EXPECT_EQ(dialog.ProgressBar(), bar); });
    EXPECT_EQ(SendProgress(0, 0, kProgressComplete), 0);
    EXPECT_EQ(position(), -1);
    EXPECT_FALSE(ui::IsWindow(bar));
    EXPECT_EQ(SendProgress(0, 0, kProgressComplete), 0);
    EXPECT_EQ(SendProgress(7, 10, kProgressUpdate), 0);
    EXPECT_EQ(position(), 70);
    run->Do([](CWizardDialog& dialog) { EXPECT_EQ(dialog.m_nWizardMode, WIZARDMODE_ENGINEAUTOUPDATE); });

    // A connection error finishes the bar, shows Retry and waits for a click.
    auto retry = std::async(std::launch::async, [] { return AskConnectionError("No connection", "Retry?"); });
    ASSERT_TRUE(run->WaitUntil([](CWizardDialog& dialog) { return dialog.IsConnectionErrorQuestionOpen(); }));
    run->Do([](CWizardDialog& dialog) {
        EXPECT_EQ(dialog.m_nWizardMode, WIZARDMODE_CONNECTIONERROR);
        EXPECT_EQ(dialog.ProgressBar(), nullptr);
        EXPECT_EQ(InnerText(dialog, "top_text"), "No connection");
        EXPECT_EQ(RetryVisibility(dialog), "visible");
        Click(dialog, "bRetry");
    });
    const auto retried = retry.get();
    EXPECT_TRUE(retried.sent);
    EXPECT_TRUE(retried.signalled);
    EXPECT_EQ(retried.answer, 4u);
    // The click shows a bar at 1 % and the window stays with Retry shown.
    ASSERT_TRUE(run->WaitUntil([](CWizardDialog& dialog) { return dialog.ProgressBar() != nullptr; }));
    EXPECT_EQ(position(), 1);
    run->Do([](CWizardDialog& dialog) { EXPECT_EQ(RetryVisibility(dialog), "visible"); });

    // A second click after the answer signals nothing: the sender has closed
    // that event already.
    {
        testing::TraceCapture trace;
        run->Do([](CWizardDialog& dialog) { Click(dialog, "bQuit"); });
        ASSERT_TRUE(run->WaitUntil([&](CWizardDialog&) {
            for (const std::string& line : trace.Messages()) {
                if (line.find("Could not retrieve connection error callback data.") != std::string::npos) return true;
            }
            return false;
        }));
    }
    EXPECT_FALSE(run->Ended());

    auto cancel = std::async(std::launch::async, [] { return AskConnectionError("Still no connection", ""); });
    ASSERT_TRUE(run->WaitUntil([](CWizardDialog& dialog) { return dialog.IsConnectionErrorQuestionOpen(); }));
    run->Do([](CWizardDialog& dialog) { Click(dialog, "bQuit"); });
    const auto cancelled = cancel.get();
    EXPECT_TRUE(cancelled.signalled);
    EXPECT_EQ(cancelled.answer, 2u);
    EXPECT_FALSE(run->Ended());

    // The close box while a question is open releases it unanswered, once.
    auto closed = std::async(std::launch::async, [] { return AskConnectionError("Again", ""); });
    ASSERT_TRUE(run->WaitUntil([](CWizardDialog& dialog) { return dialog.IsConnectionErrorQuestionOpen(); }));
    ui::SendWindowMessage(run->Window(), ui::kMsgClose, 0, 0, nullptr);
    ASSERT_TRUE(run->WaitForEnd());
    EXPECT_EQ(run->EndCode(), -1);
    const auto unanswered = closed.get();
    EXPECT_TRUE(unanswered.signalled);
    EXPECT_EQ(unanswered.answer, testing::kNoAnswer);
}

// Keys that stand for the status bar's icons, and what the box they open says.
const std::vector<std::tuple<const char*, int, int, const char*>> kKeysAndBoxes = {
    {"i", 73, 2, "not come over a secure connection"},
    {"F1", 112, 0, "About Orvella Engine\nDEBUG Brevik.dll, Version "}};

// The wait window as a person gets it, headless and on a display of its
// own: the page fills the 500 x 200 window, which is centred on the screen,
// and an outside program's real clicks on Retry and Cancel, through the
// browser's debugging port, answer the question.
TEST(WaitPage, AsAPersonGetsItTheWholePageCentredAndRealClicksAnswer) {
    for (const bool visible : {false, true}) {
        std::optional<testing::OwnDisplay> display;
        if (visible) {
            display.emplace(1024, 700);
            if (display->Name().empty()) {
                std::cout << "no X server (Xvfb) could start: the visible window is not judged\n";
                continue;
            }
            setenv("DISPLAY", display->Name().c_str(), 1);
        }
        const int port = testing::FreePort();
        setenv("ZUN_BROWSER_HEADLESS", visible ? "0" : "1", 1);
        setenv("ZUN_BROWSER_FLAGS", ("--remote-debugging-port=" + std::to_string(port)).c_str(), 1);
        auto run = StartWaitWizard();
        ASSERT_TRUE(run->WaitForWindow());
        ASSERT_TRUE(WaitForPage(*run));
        for (const char* answer : {"retry", "cancel"}) {
            auto asked = std::async(std::launch::async, [] { return AskConnectionError("No connection", "Retry?"); });
            ASSERT_TRUE(run->WaitUntil([](CWizardDialog& dialog) { return dialog.IsConnectionErrorQuestionOpen(); }));
            run->Do([&](CWizardDialog& dialog) {
                auto* chromium = static_cast<platform::posix::ChromiumBrowser*>(dialog.Browser());
                EXPECT_EQ(testing::SettledPageSize(*chromium, {500, 200}), (std::vector<double>{500, 200}))
                    << (visible ? "visible" : "headless");
                ui::Rect window;
                std::string state;
                ASSERT_EQ(chromium->GetWindowBounds(&window, &state), 0u);
                if (visible) {
                    EXPECT_EQ(window.left, (1024 - 500) / 2);
                    EXPECT_EQ(window.top, (700 - 200) / 2);
                }
            });
            testing::ChildProcess shopper({"/usr/bin/python3", ZUN_SHOPPER, "--port", std::to_string(port),
                                           "--answer", answer, "--stop-at", "wait", "--timeout", "30"});
            EXPECT_EQ(shopper.Wait(std::chrono::seconds(40)), 0);
            const auto outcome = asked.get();
            EXPECT_TRUE(outcome.signalled);
            EXPECT_EQ(outcome.answer, std::string(answer) == "retry" ? 4u : 2u);
        }
        // The status bar's icons by key: Ctrl+I finds no lock on this page;
        // F1 shows the About box as a message box whose OK ends it (taken at
        // once when headless; on a display it waits for a person).
        for (const auto& [key, code, modifiers, shown] : visible ? decltype(kKeysAndBoxes){} : kKeysAndBoxes) {
            run->Do([&, key = key, code = code, modifiers = modifiers](CWizardDialog& dialog) {
                EXPECT_EQ(static_cast<platform::posix::ChromiumBrowser*>(dialog.Browser())->PressKey(key, code, modifiers),
                          0u);
            });
            EXPECT_TRUE(run->WaitUntil([shown = shown](CWizardDialog& dialog) {
                return static_cast<platform::posix::ChromiumBrowser*>(dialog.Browser())
                           ->LastDialogMessage()
                           .find(shown) != std::string::npos;
            })) << key;
        }
        EXPECT_EQ(TheWizardWindowRegistry().RunningAbout(), nullptr);
        ui::SendWindowMessage(run->Window(), ui::kMsgClose, 0, 0, nullptr);
        ASSERT_TRUE(run->WaitForEnd());
        unsetenv("DISPLAY");
    }
    setenv("ZUN_BROWSER_HEADLESS", "1", 1);
    unsetenv("ZUN_BROWSER_FLAGS");
}

TEST(WaitPage, NoticesOutsideTheWaitModesAreIgnored) {
    auto record = std::make_shared<GatewayRecord>();
    WizardRun run([record](CWizardDialog& dialog) {
        dialog.m_nWizardMode = 0;  // no mode: the dialog shows nothing
        dialog.m_pGatewayRecord = record.get();
    });
    ASSERT_TRUE(run.WaitForWindow());
    EXPECT_EQ(SendNotice(ENGINEAUTOUPDATE, WaitDialogNotice{"a", "b", 0, 0, 0}), 1);
    EXPECT_EQ(SendNotice(CONNECTIONERROR_BTNCLK, 2), 1);
    EXPECT_FALSE(run.Ended());
}

// The contacting notice is process-wide: this is the one test that ticks the
// connection timer.
TEST(WaitPage, ContactingNoticeOnTheFirstTickOnlyOncePerLoadedEngineAndCancelCloses) {
    {
        // The handshake wants the timer before the window exists: the window
        // starts it as it opens.
        auto run = StartWaitWizard(true);
        ASSERT_TRUE(run->WaitForWindow());
        ASSERT_TRUE(run->WaitUntil([](CWizardDialog& dialog) { return dialog.m_nWizardMode == WIZARDMODE_CONTACTING; }));
        run->Do([](CWizardDialog& dialog) {
            EXPECT_TRUE(Shown(dialog));
            EXPECT_EQ(InnerText(dialog, "top_text"), "Contacting Orvella Servers...");
            EXPECT_EQ(InnerText(dialog, "bottom_text"),
                      "Please wait while we establish a secure connection to the Orvella Servers. Depending on the "
                      "speed of your connection, this might take a moment.");
        });
        EXPECT_EQ(SendNotice(ENGINEAUTOUPDATE, WaitDialogNotice{"Update", "", 0, 0, 0}), 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        run->Do([](CWizardDialog& dialog) { EXPECT_EQ(dialog.m_nWizardMode, WIZARDMODE_ENGINEAUTOUPDATE); });
        TheWizardWindowRegistry().SetConnectionTimer(false);
        // Cancel outside the error state closes the window at once.
        run->Do([](CWizardDialog& dialog) { Click(dialog, "bQuit"); });
        ASSERT_TRUE(run->WaitForEnd());
        EXPECT_EQ(run->EndCode(), -1);
    }
    auto second = StartWaitWizard();
    ASSERT_TRUE(second->WaitForWindow());
    ASSERT_TRUE(WaitForPage(*second));
    ASSERT_EQ(ui::SetWindowTimer(second->Window(), kConnectionTimerId, 20), 0u);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    second->Do([](CWizardDialog& dialog) {
        EXPECT_EQ(dialog.m_nWizardMode, WIZARDMODE_WAIT);
        EXPECT_TRUE(ui::IsToolWindow(dialog.Window()));
    });
}

}  // namespace
}  // namespace zun
