// The purchase wizard's page handling in real headless Chromium against the
// local store server's secure store: the pre-fill POST, the CartState of
// every page, the invoice page's resize, status and links, and the lock pane
// with the certificate behind it.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "base/bounded_text.h"
#include "dom/html_element.h"
#include "dom/html_element_event_receiver.h"
#include "page_size.h"
#include "net/store_host.h"
#include "platform/posix/chromium_browser.h"
#include "trace_capture.h"
#include "wizard/local_store.h"
#include "wizard/wizard_mode.h"
#include "wizard/wizard_run.h"
#include "wizard/wizard_controller.h"

namespace zun {
namespace {

namespace ui = platform::ui;
using testing::ValueOf;
using testing::WizardRun;

std::string Caption(ui::WindowHandle window) {
    char caption[256] = {};
    ui::GetCaption(window, caption, sizeof caption);
    return caption;
}

std::string ValueOf(CartState& state, const char* key) {
    char value[256] = {};
    if (state.GetValue(key, value, sizeof value) != 0) return "<none>";
    return std::string(TextInBuffer(value));
}

class StorePagesTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        store = new testing::LocalStore();
        ASSERT_TRUE(store->Ready()) << "the store server did not start";
        // The browser reaches the secure store's host at the server and
        // trusts its certificate, and only that one.
        setenv("ZUN_BROWSER_FLAGS", store->BrowserFlags(testing::FreePort()).c_str(), 1);
        CopyText(StoreHost(), kStoreHostSize, "secure.orvella.com");
    }
    static void TearDownTestSuite() {
        unsetenv("ZUN_BROWSER_FLAGS");
        delete store;
    }

    // A purchase dialog showing the store, with its inputs.
    std::unique_ptr<WizardRun> StartPurchase(const char* body) {
        TheWizardController().SetWizardMode(WIZARDMODE_PURCHASE);
        record = std::make_shared<GatewayRecord>();
        record->wizardWidth = 700;
        record->wizardHeight = 500;
        record->invoiceWidth = 900;
        record->invoiceHeight = 5000;  // more than the work area
        certificate = store->Certificate();
        auto keep = record;
        std::string text = body;
        return std::make_unique<WizardRun>([this, keep, text](CWizardDialog& dialog) {
            dialog.m_nWizardMode = WIZARDMODE_PURCHASE;
            dialog.m_pGatewayRecord = keep.get();
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

    static bool WaitForCaption(WizardRun& run, const std::string& caption) {
        return run.WaitUntil([&](CWizardDialog& dialog) { return Caption(dialog.Window()) == caption; });
    }

    static bool WaitForPageName(WizardRun& run, const std::string& name) {
        return run.WaitUntil([&](CWizardDialog& dialog) { return ValueOf(*dialog.GetCartState(), "PAGENAME") == name; });
    }

    // The store's step `page` of the session the wizard shows, with `faults`.
    static void Open(WizardRun& run, const std::string& page, const std::string& faults = "") {
        run.Do([&](CWizardDialog& dialog) {
            platform::dom::DocumentRef document;
            ASSERT_EQ(dialog.Browser()->GetDocument(&document), 0u);
            HtmlElement shown;
            ASSERT_EQ(shown.HookupDocument(document), 0u);
            char session[64] = {};
            uint32_t size = sizeof session;
            ASSERT_EQ(shown.GetInputElementValue("session", session, &size), 0u);
            const std::string url = "https://secure.orvella.com/secure/Store.aspx?session=" + std::string(session) +
                                    "&page=" + page + (faults.empty() ? "" : "&fault=" + faults);
            EXPECT_EQ(dialog.Browser()->Navigate(url.c_str(), nullptr, nullptr), 0u);
        });
    }

    static void Click(CWizardDialog& dialog, const char* id) {
        auto* chromium = static_cast<platform::posix::ChromiumBrowser*>(dialog.Browser());
        platform::dom::ElementRef element;
        ASSERT_EQ(chromium->FindElement((std::string("document.getElementById('") + id + "')").c_str(), &element),
                  0u);
        ASSERT_NE(element, nullptr) << id;
        ASSERT_EQ(chromium->Click(*element), 0u);
    }

    // On the dialog's thread.
    static int PageCount(CWizardDialog& dialog) {
        return static_cast<platform::posix::ChromiumBrowser*>(dialog.Browser())->PageCount();
    }

    static testing::LocalStore* store;
    std::shared_ptr<GatewayRecord> record;
    std::string certificate;
};

testing::LocalStore* StorePagesTest::store = nullptr;

TEST_F(StorePagesTest, PrefillPostAndEveryPageUpToTheInvoiceWithItsLinks) {
    const char body[] = "s=V1&name=a\x02" "b c&x=%41\xC3\xA9";
    auto run = StartPurchase(body);
    ASSERT_TRUE(run->WaitForWindow());
    ASSERT_TRUE(WaitForPageName(*run, "PRODUCT"));
    EXPECT_EQ(store->Control("/_prefill?part=body"), body);
    EXPECT_EQ(store->Control("/_prefill?part=content_type"), "application/x-www-form-urlencoded");
    EXPECT_EQ(store->Control("/_prefill?part=host"), "secure.orvella.com");

    ui::Rect storeSize;
    ui::Rect storeBrowserArea;
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
    ASSERT_TRUE(WaitForCaption(*run, "Orvella Store: Shipping address"));
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
        ui::Rect area;
        ui::GetWorkArea(&area);
        ui::Rect rect;
        ui::GetWindowRect(dialog.Window(), &rect);
        EXPECT_EQ(rect.Width(), 900);
        EXPECT_EQ(rect.Height(), area.Height());  // cut to the work area
        // The page fills the resized window, which stays on the screen.
        const std::vector<double> size = {900, static_cast<double>(area.Height())};
        EXPECT_EQ(testing::SettledPageSize(*static_cast<platform::posix::ChromiumBrowser*>(dialog.Browser()), size),
                  size);
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

    // A handled link opens a new window and the wizard stays on its page.
    int pagesBefore = 0;
    run->Do([&](CWizardDialog& dialog) {
        pagesBefore = PageCount(dialog);
        Click(dialog, "receipt");
    });
    ASSERT_TRUE(run->WaitUntil([&](CWizardDialog& dialog) { return PageCount(dialog) > pagesBefore; }));
    run->Do([](CWizardDialog& dialog) { Click(dialog, "print-icon"); });
    ASSERT_TRUE(run->WaitUntil([&](CWizardDialog& dialog) { return PageCount(dialog) > pagesBefore + 1; }));
    EXPECT_EQ(Caption(run->Window()), "Orvella Store: Invoice");
    // XWSNewWindow="FALSE" navigates as the page says.
    run->Do([](CWizardDialog& dialog) { Click(dialog, "help-same-window"); });
    ASSERT_TRUE(WaitForCaption(*run, "Orvella Store: Help"));
    // A plain page takes the lock away.
    run->Do([](CWizardDialog& dialog) {
        dialog.Browser()->Navigate(("http://" + store->Address() + "/store/ping.aspx").c_str(), nullptr, nullptr);
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

}  // namespace
}  // namespace zun
