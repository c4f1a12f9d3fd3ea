// The wizard's pages in real headless Chromium. The purchase wizard against
// the local store server's secure store: the pre-fill POST, the CartState of
// every page, the invoice page's resize, status and links, and the lock pane
// with the certificate behind it. The wait wizard, told by the handshake's
// own sender as its worker tells it: the engine update, the progress bar,
// the connection-error question answered by clicks in the page, and the
// connection timer.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <future>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "base/bounded_text.h"
#include "child_process.h"
#include "dom/html_element.h"
#include "dom/html_element_event_receiver.h"
#include "net/store_host.h"
#include "own_display.h"
#include "page_size.h"
#include "platform/posix/chromium_browser.h"
#include "trace_capture.h"
#include "update/wait_window_host.h"
#include "update/wait_window_notices.h"
#include "wizard/local_store.h"
#include "wizard/wait_dialog_notice.h"
#include "wizard/wizard_controller.h"
#include "wizard/wizard_mode.h"
#include "wizard/wizard_run.h"
#include "wizard/wizard_window_registry.h"

namespace zun {
namespace {

namespace ui = platform::ui;
using testing::ValueOf;
using testing::WizardRun;

platform::posix::ChromiumBrowser& Chromium(CWizardDialog& dialog) {
    return *static_cast<platform::posix::ChromiumBrowser*>(dialog.Browser());
}

void Click(CWizardDialog& dialog, const char* id) {
    platform::dom::ElementRef element;
    ASSERT_EQ(Chromium(dialog).FindElement((std::string("document.getElementById('") + id + "')").c_str(), &element),
              0u);
    ASSERT_NE(element, nullptr) << id;
    ASSERT_EQ(Chromium(dialog).Click(*element), 0u);
}

std::string Caption(ui::WindowHandle window) {
    char caption[256] = {};
    ui::GetCaption(window, caption, sizeof caption);
    return caption;
}

// An input's value or another element's text on the shown page; "?" when
// it cannot be read.
std::string TextOf(CWizardDialog& dialog, const char* id) {
    platform::dom::DocumentRef document;
    if (dialog.Browser()->GetDocument(&document) != 0) return "?";
    HtmlElement page;
    page.HookupDocument(document);
    char text[512] = {};
    uint32_t size = sizeof text;
    if (page.GetInputElementValue(id, text, &size) == 0) return text;
    size = sizeof text;
    return page.GetElementInnerText(id, text, &size) == 0 ? text : "?";
}

std::string ValueOf(CartState& state, const char* key) {
    char value[256] = {};
    if (state.GetValue(key, value, sizeof value) != 0) return "<none>";
    return std::string(TextInBuffer(value));
}

class StorePagesTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(store.Ready()) << "the store server did not start";
        // The browser reaches the secure store's host at the server and
        // trusts its certificate, and only that one.
        setenv("ZUN_BROWSER_FLAGS", store.BrowserFlags(testing::FreePort()).c_str(), 1);
        CopyText(StoreHost(), kStoreHostSize, "secure.orvella.com");
    }
    void TearDown() override { unsetenv("ZUN_BROWSER_FLAGS"); }

    // A purchase dialog showing the store, with its inputs.
    std::unique_ptr<WizardRun> StartPurchase(const char* body) {
        TheWizardController().SetWizardMode(WIZARDMODE_PURCHASE);
        record.wizardWidth = 700;
        record.wizardHeight = 500;
        record.invoiceWidth = 900;
        record.invoiceHeight = 5000;  // more than the work area
        certificate = store.Certificate();
        return std::make_unique<WizardRun>([this, text = std::string(body)](CWizardDialog& dialog) {
            dialog.m_nWizardMode = WIZARDMODE_PURCHASE;
            dialog.m_pGatewayRecord = &record;
            dialog.m_pCertificateBlob = certificate.c_str();
            CopyText(dialog.m_szPostData, text.c_str());
        });
    }

    // Whether a double-click `offset` pixels into the lock pane opened the
    // certificate viewer, which the person then closes.
    static bool DoubleClickOpensTheCertificate(WizardRun& run, int32_t offset) {
        testing::TraceCapture trace;
        run.Do([&](CWizardDialog& dialog) {
            // Runs inside the viewer's modal loop when one opened.
            ui::PostWindowTask(dialog.Window(), [&dialog] {
                const ui::WindowHandle active = ui::GetActiveWindow();
                if (active != nullptr && active != dialog.Window()) {
                    ui::SendWindowMessage(active, ui::kMsgClose, 0, 0, nullptr);
                }
            });
            ui::Rect pane;
            ui::GetStatusBarPartRect(dialog.StatusBar(), CWizardDialog::kLockPane, &pane);
            const intptr_t position = ((pane.top + 5) << 16) | (pane.left + offset);
            ui::SendWindowMessage(dialog.StatusBar(), ui::kMsgLButtonDoubleClick, ui::kMouseLeftButton, position,
                                  nullptr);
        });
        run.Do([](CWizardDialog&) {});  // the posted task has run
        for (const std::string& line : trace.Messages()) {
            if (line.find("CertificateManager::DisplayCertificate()") != std::string::npos) return true;
        }
        return false;
    }

    static bool WaitForPageName(WizardRun& run, const std::string& name) {
        return run.WaitUntil([&](CWizardDialog& dialog) { return ValueOf(*dialog.GetCartState(), "PAGENAME") == name; });
    }

    // The store's step `page` of the session the wizard shows, with `faults`.
    static void Open(WizardRun& run, const std::string& page, const std::string& faults = "") {
        run.Do([&](CWizardDialog& dialog) {
            const std::string url = "https://secure.orvella.com/secure/Store.aspx?session=" +
                                    TextOf(dialog, "session") + "&page=" + page +
                                    (faults.empty() ? "" : "&fault=" + faults);
            EXPECT_EQ(dialog.Browser()->Navigate(url.c_str(), nullptr, nullptr), 0u);
        });
    }

    testing::LocalStore store;
    GatewayRecord record{};
    std::string certificate;
};

TEST_F(StorePagesTest, PrefillPostAndEveryPageUpToTheInvoiceWithItsLinks) {
    const char body[] = "s=V1&name=a\x02" "b c&x=%41\xC3\xA9";
    auto run = StartPurchase(body);
    ASSERT_TRUE(run->WaitForWindow());
    ASSERT_TRUE(WaitForPageName(*run, "PRODUCT"));
    // The pre-fill is checked byte for byte here; its content type and host in the purchase test.
    EXPECT_EQ(store.Control("/_prefill?part=body"), body);

    ui::Rect storeSize, storeBrowserArea;
    run->Do([&](CWizardDialog& dialog) {
        EXPECT_EQ(Caption(dialog.Window()), "Orvella Store: Your product");
        ui::GetWindowRect(dialog.Window(), &storeSize);
        ui::GetClientRect(ui::GetDialogItem(dialog.Window(), ui::kBrowserControlId), &storeBrowserArea);
        // Store pages keep borders and scroll bars: the theme flag only.
        EXPECT_EQ(dialog.DocHostFlags(), 0x40000u);
        // The lock follows the https page.
        EXPECT_EQ(ui::GetStatusBarIcon(dialog.StatusBar(), CWizardDialog::kLockPane), ui::kLockIcon);
        char tip[64] = {};
        ui::GetStatusBarTipText(dialog.StatusBar(), CWizardDialog::kLockPane, tip, sizeof tip);
        EXPECT_STREQ(tip, "SSL Secured (128 bit)");
    });
    EXPECT_EQ(storeSize.Width(), 700);
    EXPECT_EQ(storeSize.Height(), 500);
    // A double-click on the lock's icon opens the certificate, one beside
    // it does not.
    EXPECT_TRUE(DoubleClickOpensTheCertificate(*run, 16));
    EXPECT_FALSE(DoubleClickOpensTheCertificate(*run, 17));

    Open(*run, "billing");
    ASSERT_TRUE(WaitForPageName(*run, "BILLING"));
    // A page without the field keeps the last page's state.
    Open(*run, "shipping", "nocartstate");
    ASSERT_TRUE(run->WaitUntil(
        [](CWizardDialog& dialog) { return Caption(dialog.Window()) == "Orvella Store: Shipping address"; }));
    run->Do([](CWizardDialog& dialog) {
        EXPECT_EQ(ValueOf(*dialog.GetCartState(), "PAGENAME"), "BILLING");
        EXPECT_TRUE(dialog.GetCartState()->IsValid());
    });
    // "invoice" in lower case is an ordinary store page.
    Open(*run, "invoice", "lowerinvoice");
    ASSERT_TRUE(WaitForPageName(*run, "invoice"));
    run->Do([&](CWizardDialog& dialog) {
        ui::Rect rect;
        ui::GetWindowRect(dialog.Window(), &rect);
        EXPECT_EQ(rect.Width(), 700);
        EXPECT_EQ(ValueOf(*dialog.GetCartState(), "_Order.Status"), "2");
        EXPECT_EQ(HtmlElementEventReceiver::AnchorReceiverCount(), 0u);
    });

    Open(*run, "invoice");
    ASSERT_TRUE(WaitForPageName(*run, "INVOICE"));
    run->Do([&](CWizardDialog& dialog) {
        ui::Rect area, rect;
        ui::GetWorkArea(&area);
        ui::GetWindowRect(dialog.Window(), &rect);
        EXPECT_EQ(rect.Width(), 900);
        EXPECT_EQ(rect.Height(), area.Height());  // cut to the work area
        // The page fills the resized window, which stays on the screen.
        const std::vector<double> size = {900, static_cast<double>(area.Height())};
        EXPECT_EQ(testing::SettledPageSize(Chromium(dialog), size), size);
        EXPECT_GE(rect.left, area.left);
        EXPECT_EQ(rect.top, area.top);
        // The browser area grows by the same amounts as the window.
        ui::Rect browserArea;
        ui::GetClientRect(ui::GetDialogItem(dialog.Window(), ui::kBrowserControlId), &browserArea);
        EXPECT_EQ(browserArea.Width() - storeBrowserArea.Width(), rect.Width() - storeSize.Width());
        EXPECT_EQ(browserArea.Height() - storeBrowserArea.Height(), rect.Height() - storeSize.Height());
        // A completed order reaches the controller as 1, with a sound blob.
        EXPECT_EQ(ValueOf(*dialog.GetCartState(), "_Order.Status"), "1");
        EXPECT_TRUE(dialog.GetCartState()->IsValid());
        // The plain links (the receipt, the footer's help and the empty
        // address, which is this page's), the one marked TRUE and the one
        // around an image; not those marked false, without an address or
        // writing mail.
        EXPECT_EQ(HtmlElementEventReceiver::AnchorReceiverCount(), 5u);
    });

    // A handled link, plain or around an image, opens a new window and the
    // wizard stays on its page.
    for (const char* link : {"receipt", "print-icon"}) {
        int pagesBefore = 0;
        run->Do([&](CWizardDialog& dialog) {
            pagesBefore = Chromium(dialog).PageCount();
            Click(dialog, link);
        });
        ASSERT_TRUE(run->WaitUntil([&](CWizardDialog& dialog) { return Chromium(dialog).PageCount() > pagesBefore; }))
            << link;
    }
    EXPECT_EQ(Caption(run->Window()), "Orvella Store: Invoice");
    // XWSNewWindow="FALSE" navigates as the page says.
    run->Do([](CWizardDialog& dialog) { Click(dialog, "help-same-window"); });
    ASSERT_TRUE(run->WaitUntil(
        [](CWizardDialog& dialog) { return Caption(dialog.Window()) == "Orvella Store: Help"; }));
    // A plain page takes the lock away.
    run->Do([this](CWizardDialog& dialog) {
        dialog.Browser()->Navigate(store.Http("/store/ping.aspx").c_str(), nullptr, nullptr);
    });
    ASSERT_TRUE(run->WaitUntil([](CWizardDialog& dialog) {
        return ui::GetStatusBarIcon(dialog.StatusBar(), CWizardDialog::kLockPane) == 0;
    }));
    EXPECT_FALSE(DoubleClickOpensTheCertificate(*run, 16));

    // Esc ends with 2.
    ui::SendWindowMessage(run->Window(), ui::kMsgCommand, static_cast<uintptr_t>(ui::kIdCancel), 0, nullptr);
    ASSERT_TRUE(run->WaitForEnd());
    EXPECT_EQ(run->EndCode(), ui::kIdCancel);
}

constexpr char kUpdateTopText[] = "Updating Orvella Software...";

// As the handshake starts it, with the sender's notices going to it:
// `timerWanted` is a network call begun before the window exists.
std::unique_ptr<WizardRun> StartWaitWizard(bool timerWanted = false) {
    TheWizardController().SetWizardMode(WIZARDMODE_WAIT);
    TheWizardWaitWindow().ResetWaitClose();
    BeginWaitWindowNotices(TheWizardWaitWindow());
    OnConnectionTimerUpdate(timerWanted ? 1 : 0, 0);
    static GatewayRecord record{};
    record.wizardWidth = 500;
    record.wizardHeight = 200;
    return std::make_unique<WizardRun>([](CWizardDialog& dialog) {
        dialog.m_nWizardMode = WIZARDMODE_WAIT;
        dialog.m_pGatewayRecord = &record;
    });
}

// The connection-error question as the worker asks it, once the window
// shows it.
std::future<uint32_t> Ask(WizardRun& run, const char* topText, const char* bottomText = "") {
    auto asked = std::async(std::launch::async, [=] { return OnConnectionErrorEvent(topText, bottomText, 0); });
    EXPECT_TRUE(run.WaitUntil([](CWizardDialog& dialog) { return dialog.IsConnectionErrorQuestionOpen(); }))
        << topText;
    return asked;
}

// The question's answer; 0xFFFFFFFF when none came within 30 s.
uint32_t AnswerOf(std::future<uint32_t>& asked) {
    return asked.wait_for(std::chrono::seconds(30)) == std::future_status::ready ? asked.get() : 0xFFFFFFFFu;
}

// Whether the page shows Retry.
bool RetryShown(CWizardDialog& dialog) {
    platform::dom::ElementRef retry;
    Chromium(dialog).FindElement("getComputedStyle(bRetry).visibility === 'visible' ? bRetry : null", &retry);
    return retry != nullptr;
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
    ASSERT_TRUE(run->WaitUntil([](CWizardDialog& dialog) { return TextOf(dialog, "top_text") == kUpdateTopText; }));
    run->Do([](CWizardDialog& dialog) {
        EXPECT_EQ(dialog.m_nWizardMode, WIZARDMODE_ENGINEAUTOUPDATE);
        EXPECT_TRUE(Shown(dialog));
        EXPECT_FALSE(RetryShown(dialog));
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
    auto retry = Ask(*run, "No connection", "Retry?");
    run->Do([](CWizardDialog& dialog) {
        EXPECT_EQ(dialog.m_nWizardMode, WIZARDMODE_CONNECTIONERROR);
        EXPECT_EQ(dialog.ProgressBar(), nullptr);
        EXPECT_EQ(TextOf(dialog, "top_text"), "No connection");
        EXPECT_TRUE(RetryShown(dialog));
        Click(dialog, "bRetry");
    });
    EXPECT_EQ(AnswerOf(retry), 4u);
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

    auto cancel = Ask(*run, "Still no connection");
    run->Do([](CWizardDialog& dialog) { Click(dialog, "bQuit"); });
    EXPECT_EQ(AnswerOf(cancel), 2u);
    EXPECT_FALSE(run->Ended());

    // The close box while a question is open releases it unanswered.
    auto closed = Ask(*run, "Again");
    ui::SendWindowMessage(run->Window(), ui::kMsgClose, 0, 0, nullptr);
    ASSERT_TRUE(run->WaitForEnd());
    EXPECT_EQ(run->EndCode(), -1);
    EXPECT_EQ(AnswerOf(closed), ZUN_E_NO_PROMPT_ANSWER);
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
            auto asked = Ask(*run, "No connection", "Retry?");
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
            EXPECT_EQ(AnswerOf(asked), std::string(answer) == "retry" ? 4u : 2u);
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
            EXPECT_EQ(TextOf(dialog, "top_text"), "Contacting Orvella Servers...");
        });
        // The update replaces the contacting texts, and a later tick leaves it.
        SendEngineUpdateNotice();
        run->Do([](CWizardDialog& dialog) {
            dialog.OnTimerEventFired(kConnectionTimerId);
            EXPECT_EQ(dialog.m_nWizardMode, WIZARDMODE_ENGINEAUTOUPDATE);
            EXPECT_EQ(TextOf(dialog, "top_text"), kUpdateTopText);
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
