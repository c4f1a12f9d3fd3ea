// The wait wizard in real headless Chromium, told by the handshake's own
// sender as its worker tells it: the engine update, the progress bar, the
// connection-error question answered by clicks in the page, and the
// connection timer.
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
#include "dom/html_element_event_receiver.h"
#include "own_display.h"
#include "page_size.h"
#include "wizard/local_store.h"
#include "platform/posix/chromium_browser.h"
#include "trace_capture.h"
#include "update/wait_window_host.h"
#include "update/wait_window_notices.h"
#include "wizard/wait_dialog_notice.h"
#include "wizard/wizard_mode.h"
#include "wizard/wizard_run.h"
#include "wizard/wizard_controller.h"
#include "wizard/wizard_window_registry.h"

namespace zun {
namespace {

namespace ui = platform::ui;
using testing::WizardRun;

constexpr char kUpdateTopText[] = "Updating Orvella Software...";

// As the handshake starts it, with the sender's notices going to it:
// `timerWanted` is a network call begun before the window exists.
std::unique_ptr<WizardRun> StartWaitWizard(bool timerWanted = false) {
    TheWizardController().SetWizardMode(WIZARDMODE_WAIT);
    TheWizardWaitWindow().ResetWaitClose();
    BeginWaitWindowNotices(TheWizardWaitWindow());
    OnConnectionTimerUpdate(timerWanted ? 1 : 0, 0);
    auto record = std::make_shared<GatewayRecord>();
    record->wizardWidth = 500;
    record->wizardHeight = 200;
    return std::make_unique<WizardRun>([record](CWizardDialog& dialog) {
        dialog.m_nWizardMode = WIZARDMODE_WAIT;
        dialog.m_pGatewayRecord = record.get();
    });
}

// The connection-error question as the worker asks it; its answer.
std::future<uint32_t> AskConnectionError(const char* topText, const char* bottomText = "") {
    return std::async(std::launch::async, [=] { return OnConnectionErrorEvent(topText, bottomText, 0); });
}

bool QuestionOpen(WizardRun& run) {
    return run.WaitUntil([](CWizardDialog& dialog) { return dialog.IsConnectionErrorQuestionOpen(); });
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

platform::posix::ChromiumBrowser& Chromium(CWizardDialog& dialog) {
    return *static_cast<platform::posix::ChromiumBrowser*>(dialog.Browser());
}

// Whether the page shows Retry.
bool RetryShown(CWizardDialog& dialog) {
    platform::dom::ElementRef retry;
    Chromium(dialog).FindElement("getComputedStyle(bRetry).visibility === 'visible' ? bRetry : null", &retry);
    return retry != nullptr;
}

void Click(CWizardDialog& dialog, const char* id) {
    platform::dom::ElementRef element;
    ASSERT_EQ(Chromium(dialog).FindElement((std::string("document.getElementById('") + id + "')").c_str(), &element),
              0u);
    ASSERT_NE(element, nullptr);
    ASSERT_EQ(Chromium(dialog).Click(*element), 0u);
}

bool Shown(CWizardDialog& dialog) {
    return !ui::IsToolWindow(dialog.Window()) && ui::IsWindowVisible(dialog.Window());
}

TEST(WaitPage, TheUpdateProgressAndTheConnectionErrorQuestionAnsweredByClicks) {
    // The update is told as soon as the window exists, before its page has
    // loaded: it is shown once the page is ready.
    auto update = std::async(std::launch::async, [] { SendEngineUpdateNotice(); });
    auto run = StartWaitWizard();
    ASSERT_TRUE(run->WaitForWindow());
    update.get();
    ASSERT_TRUE(run->WaitUntil([](CWizardDialog& dialog) { return InnerText(dialog, "top_text") == kUpdateTopText; }));
    run->Do([](CWizardDialog& dialog) {
        EXPECT_EQ(dialog.m_nWizardMode, WIZARDMODE_ENGINEAUTOUPDATE);
        EXPECT_TRUE(Shown(dialog));
        ui::Rect rect;
        ui::GetWindowRect(dialog.Window(), &rect);
        EXPECT_EQ(rect.Width(), 500);
        EXPECT_EQ(rect.Height(), 200);
        EXPECT_FALSE(RetryShown(dialog));
        // The wait page gets the dialog host flags as well as the theme.
        EXPECT_EQ(dialog.DocHostFlags(), 0x4000Du);
    });

    // Progress: a bar is made when progress finds none; the percent rules,
    // and the page shows the bar as it is.
    const auto position = [&] {
        int32_t value = -1;
        run->Do([&](CWizardDialog& dialog) {
            value = dialog.ProgressBar() != nullptr ? ui::GetProgressPosition(dialog.ProgressBar()) : -1;
            std::vector<double> shown;
            Chromium(dialog).EvaluateNumbers("Array.from(document.querySelectorAll('progress'), (bar) => bar.value)",
                                             &shown);
            EXPECT_EQ(shown, value < 0 ? std::vector<double>{} : std::vector<double>{double(value)});
        });
        return value;
    };
    for (const auto& [total, done, percent] : std::vector<std::tuple<uint32_t, uint32_t, int32_t>>{
             {200, 50, 25}, {100, 0, 1}, {100, 150, 100}, {0, 10, 100}, {10, 7, 70}}) {
        OnDownloadProgressEvent(total, done, 0, 0);
        EXPECT_EQ(position(), percent) << done << " of " << total;
    }
    run->Do([](CWizardDialog& dialog) { EXPECT_EQ(dialog.m_nWizardMode, WIZARDMODE_ENGINEAUTOUPDATE); });

    // A connection error finishes the bar, shows Retry and waits for a click.
    auto retry = AskConnectionError("No connection", "Retry?");
    ASSERT_TRUE(QuestionOpen(*run));
    run->Do([](CWizardDialog& dialog) {
        EXPECT_EQ(dialog.m_nWizardMode, WIZARDMODE_CONNECTIONERROR);
        EXPECT_EQ(dialog.ProgressBar(), nullptr);
        EXPECT_EQ(InnerText(dialog, "top_text"), "No connection");
        EXPECT_TRUE(RetryShown(dialog));
        Click(dialog, "bRetry");
    });
    ASSERT_EQ(retry.wait_for(std::chrono::seconds(30)), std::future_status::ready);
    EXPECT_EQ(retry.get(), 4u);
    // The click shows a bar at 1 % and the window stays with Retry shown.
    ASSERT_TRUE(run->WaitUntil([](CWizardDialog& dialog) { return dialog.ProgressBar() != nullptr; }));
    EXPECT_EQ(position(), 1);
    run->Do([](CWizardDialog& dialog) { EXPECT_TRUE(RetryShown(dialog)); });

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

    auto cancel = AskConnectionError("Still no connection");
    ASSERT_TRUE(QuestionOpen(*run));
    run->Do([](CWizardDialog& dialog) { Click(dialog, "bQuit"); });
    ASSERT_EQ(cancel.wait_for(std::chrono::seconds(30)), std::future_status::ready);
    EXPECT_EQ(cancel.get(), 2u);
    EXPECT_FALSE(run->Ended());

    // The close box while a question is open releases it unanswered.
    auto closed = AskConnectionError("Again");
    ASSERT_TRUE(QuestionOpen(*run));
    ui::SendWindowMessage(run->Window(), ui::kMsgClose, 0, 0, nullptr);
    ASSERT_TRUE(run->WaitForEnd());
    EXPECT_EQ(run->EndCode(), -1);
    ASSERT_EQ(closed.wait_for(std::chrono::seconds(30)), std::future_status::ready);
    EXPECT_EQ(closed.get(), ZUN_E_NO_PROMPT_ANSWER);
    EndWaitWindowNotices();
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
        for (const char* answer : {"retry", "cancel"}) {
            auto asked = AskConnectionError("No connection", "Retry?");
            ASSERT_TRUE(QuestionOpen(*run));
            run->Do([&](CWizardDialog& dialog) {
                EXPECT_EQ(testing::SettledPageSize(Chromium(dialog), {500, 200}), (std::vector<double>{500, 200}))
                    << (visible ? "visible" : "headless");
                ui::Rect window;
                std::string state;
                ASSERT_EQ(Chromium(dialog).GetWindowBounds(&window, &state), 0u);
                if (visible) {
                    EXPECT_EQ(window.left, (1024 - 500) / 2);
                    EXPECT_EQ(window.top, (700 - 200) / 2);
                }
            });
            testing::ChildProcess shopper({"/usr/bin/python3", ZUN_SHOPPER, "--port", std::to_string(port),
                                           "--answer", answer, "--stop-at", "wait", "--timeout", "30"});
            EXPECT_EQ(shopper.Wait(std::chrono::seconds(40)), 0);
            ASSERT_EQ(asked.wait_for(std::chrono::seconds(30)), std::future_status::ready);
            EXPECT_EQ(asked.get(), std::string(answer) == "retry" ? 4u : 2u);
        }
        // The status bar's icons by key: Ctrl+I finds no lock on this page;
        // F1 shows the About box as a message box whose OK ends it (taken at
        // once when headless; on a display it waits for a person).
        for (const auto& [key, code, modifiers, shown] : visible ? decltype(kKeysAndBoxes){} : kKeysAndBoxes) {
            run->Do([&, key = key, code = code, modifiers = modifiers](CWizardDialog& dialog) {
                EXPECT_EQ(Chromium(dialog).PressKey(key, code, modifiers), 0u);
            });
            EXPECT_TRUE(run->WaitUntil([shown = shown](CWizardDialog& dialog) {
                return Chromium(dialog).LastDialogMessage().find(shown) != std::string::npos;
            })) << key;
        }
        EXPECT_EQ(TheWizardWindowRegistry().RunningAbout(), nullptr);
        ui::SendWindowMessage(run->Window(), ui::kMsgClose, 0, 0, nullptr);
        ASSERT_TRUE(run->WaitForEnd());
        EndWaitWindowNotices();
        unsetenv("DISPLAY");
    }
    setenv("ZUN_BROWSER_HEADLESS", "1", 1);
    unsetenv("ZUN_BROWSER_FLAGS");
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
        // The update replaces the contacting texts, and a later tick leaves it.
        SendEngineUpdateNotice();
        run->Do([](CWizardDialog& dialog) {
            dialog.OnTimerEventFired(kConnectionTimerId);
            EXPECT_EQ(dialog.m_nWizardMode, WIZARDMODE_ENGINEAUTOUPDATE);
            EXPECT_EQ(InnerText(dialog, "top_text"), kUpdateTopText);
        });
        OnConnectionTimerUpdate(0, 0);
        // Cancel outside the error state closes the window at once.
        run->Do([](CWizardDialog& dialog) { Click(dialog, "bQuit"); });
        ASSERT_TRUE(run->WaitForEnd());
        EXPECT_EQ(run->EndCode(), -1);
    }
    auto second = StartWaitWizard();
    ASSERT_TRUE(second->WaitForWindow());
    // Once the page is hooked up (its buttons are), a tick of the
    // once-per-engine notice changes nothing.
    ASSERT_TRUE(second->WaitUntil([](CWizardDialog&) { return HtmlElementEventReceiver::ElementReceiverCount() == 2; }));
    second->Do([](CWizardDialog& dialog) {
        dialog.OnTimerEventFired(kConnectionTimerId);
        EXPECT_EQ(dialog.m_nWizardMode, WIZARDMODE_WAIT);
        EXPECT_TRUE(ui::IsToolWindow(dialog.Window()));
    });
    EndWaitWindowNotices();
}

}  // namespace
}  // namespace zun
