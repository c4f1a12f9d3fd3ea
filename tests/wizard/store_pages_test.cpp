// The purchase wizard's page handling in real headless Chromium against the
// test store's pages: the pre-fill POST, the CartState of every page, the
// invoice page's resize, status and links, the lock pane, and what the
// purchase run hands back and saves.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <future>
#include <memory>
#include <string>
#include <vector>

#include "base/bounded_text.h"
#include "base/engine_heap.h"
#include "dom/html_element_event_receiver.h"
#include "hex_text.h"
#include "page_size.h"
#include "net/store_host.h"
#include "platform/posix/chromium_browser.h"
#include "shopper/purchase_info.h"
#include "shopper/registry_sandbox.h"
#include "trace_capture.h"
#include "wizard/local_store.h"
#include "wizard/store_pages.h"
#include "wizard/wizard_mode.h"
#include "wizard/wizard_run.h"
#include "wizard/wizard_controller.h"
#include "wizard/wizard_window_registry.h"

namespace zun {
namespace {

namespace ui = platform::ui;
using ::testing::Contains;
using ::testing::HasSubstr;
using testing::Hex;
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
        pages = new testing::StorePages();
        ASSERT_TRUE(pages->Ready()) << "the store pages did not start";
        // The browser trusts the store's certificate, and only that one.
        setenv("ZUN_BROWSER_FLAGS",
               (pages->ResolverRule() + " --ignore-certificate-errors-spki-list=" + pages->Spki()).c_str(), 1);
        CopyText(savedHost, StoreHost());
        CopyText(StoreHost(), kStoreHostSize, pages->SecureHost().c_str());
    }
    static void TearDownTestSuite() {
        CopyText(StoreHost(), kStoreHostSize, savedHost);
        unsetenv("ZUN_BROWSER_FLAGS");
        delete pages;
    }

    // A purchase dialog showing the store, with its inputs.
    std::unique_ptr<WizardRun> StartPurchase(const char* body) {
        TheWizardController().SetWizardMode(WIZARDMODE_PURCHASE);
        record = std::make_shared<GatewayRecord>();
        record->wizardWidth = 700;
        record->wizardHeight = 500;
        record->invoiceWidth = 900;
        record->invoiceHeight = 5000;  // more than the work area
        auto keep = record;
        std::string text = body;
        return std::make_unique<WizardRun>([keep, text](CWizardDialog& dialog) {
            dialog.m_nWizardMode = WIZARDMODE_PURCHASE;
            dialog.m_pGatewayRecord = keep.get();
            CopyText(dialog.m_szPostData, text.c_str());
        });
    }

    static bool WaitForCaption(WizardRun& run, const std::string& caption) {
        return run.WaitUntil([&](CWizardDialog& dialog) { return Caption(dialog.Window()) == caption; });
    }

    static void Open(WizardRun& run, const std::string& query) {
        run.Do([&](CWizardDialog& dialog) {
            EXPECT_EQ(dialog.Browser()->Navigate(pages->Https("/page?" + query).c_str(), nullptr, nullptr), 0u);
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

    static testing::StorePages* pages;
    static char savedHost[kStoreHostSize];
    std::shared_ptr<GatewayRecord> record;
};

testing::StorePages* StorePagesTest::pages = nullptr;
char StorePagesTest::savedHost[kStoreHostSize] = {};

TEST_F(StorePagesTest, PrefillPostAndEveryPageUpToTheInvoiceWithItsLinks) {
    const char body[] = "vantor=V1&name=a\x02" "b c&x=%41\xC3\xA9";
    auto run = StartPurchase(body);
    ASSERT_TRUE(run->WaitForWindow());
    ASSERT_TRUE(WaitForCaption(*run, "Product"));
    EXPECT_EQ(pages->Command("last-prefill"), "body=" + Hex(body) + " type=application/x-www-form-urlencoded host=" +
                                                  pages->SecureHost());

    ui::Rect storeSize;
    ui::Rect storeBrowserArea;
    run->Do([&](CWizardDialog& dialog) {
        EXPECT_EQ(ValueOf(*dialog.GetCartState(), "PAGENAME"), "PRODUCT");
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

    Open(*run, "PAGENAME=BILLING&title=Billing&_Shopper.BillingFirstName=Ann");
    ASSERT_TRUE(WaitForCaption(*run, "Billing"));
    // A page without the field keeps the last page's state.
    Open(*run, "field=none&title=Plain");
    ASSERT_TRUE(WaitForCaption(*run, "Plain"));
    run->Do([](CWizardDialog& dialog) {
        EXPECT_EQ(ValueOf(*dialog.GetCartState(), "PAGENAME"), "BILLING");
        EXPECT_TRUE(dialog.GetCartState()->IsValid());
    });
    // "invoice" in lower case is an ordinary store page.
    Open(*run, "PAGENAME=invoice&title=Lower&_Order.Status=2&links=1");
    ASSERT_TRUE(WaitForCaption(*run, "Lower"));
    run->Do([&](CWizardDialog& dialog) {
        ui::Rect rect;
        ui::GetWindowRect(dialog.Window(), &rect);
        EXPECT_EQ(rect.Width(), 700);
        EXPECT_EQ(ValueOf(*dialog.GetCartState(), "_Order.Status"), "2");
        EXPECT_EQ(HtmlElementEventReceiver::AnchorReceiverCount(), 0u);
    });

    Open(*run, "PAGENAME=INVOICE&title=Invoice&_Order.Status=2&links=1");
    ASSERT_TRUE(WaitForCaption(*run, "Invoice"));
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
        // The plain link, the one marked TRUE and the one around an image.
        EXPECT_EQ(HtmlElementEventReceiver::AnchorReceiverCount(), 3u);
    });

    // A handled link opens a new window and the wizard stays on its page.
    int pagesBefore = 0;
    run->Do([&](CWizardDialog& dialog) {
        pagesBefore = PageCount(dialog);
        Click(dialog, "plain");
    });
    ASSERT_TRUE(run->WaitUntil([&](CWizardDialog& dialog) { return PageCount(dialog) > pagesBefore; }));
    run->Do([](CWizardDialog& dialog) { Click(dialog, "picture"); });
    ASSERT_TRUE(run->WaitUntil([&](CWizardDialog& dialog) { return PageCount(dialog) > pagesBefore + 1; }));
    EXPECT_EQ(Caption(run->Window()), "Invoice");
    // XWSNewWindow="FaLsE" navigates as the page says.
    run->Do([](CWizardDialog& dialog) { Click(dialog, "samewindow"); });
    ASSERT_TRUE(WaitForCaption(*run, "Thanks"));

    // Esc ends with 2; the state is the last page's that carried one.
    ui::SendWindowMessage(run->Window(), ui::kMsgCommand, static_cast<uintptr_t>(ui::kIdCancel), 0, nullptr);
    ASSERT_TRUE(run->WaitForEnd());
    EXPECT_EQ(run->EndCode(), ui::kIdCancel);
}

TEST_F(StorePagesTest, LockPaneFollowsHttpsAndHttpAndOpensTheCertificate) {
    testing::TraceCapture trace;
    auto record = std::make_shared<GatewayRecord>();
    record->wizardWidth = 700;
    record->wizardHeight = 500;
    const std::string certificate = pages->Certificate();
    WizardRun run([&](CWizardDialog& dialog) {
        dialog.m_nWizardMode = 0;  // no navigation of its own
        dialog.m_pGatewayRecord = record.get();
        dialog.m_pCertificateBlob = certificate.c_str();
    });
    ASSERT_TRUE(run.WaitForWindow());
    run.Do([&](CWizardDialog& dialog) {
        dialog.Browser()->Navigate(pages->Https("/page?title=Secure").c_str(), nullptr, nullptr);
    });
    ASSERT_TRUE(run.WaitUntil([](CWizardDialog& dialog) {
        return ui::GetStatusBarIcon(dialog.StatusBar(), CWizardDialog::kLockPane) == ui::kLockIcon;
    }));

    // Double-clicks on the lock: left + 16 is on the icon, left + 17 and the
    // left edge are not.
    ui::Rect pane;
    run.Do([&](CWizardDialog& dialog) {
        ui::GetStatusBarPartRect(dialog.StatusBar(), CWizardDialog::kLockPane, &pane);
    });
    const auto doubleClickAt = [&](int32_t x) {
        const size_t before = trace.Messages().size();
        run.Do([&](CWizardDialog& dialog) {
            // Runs inside the viewer's modal loop when one opened: the person
            // closes it.
            ui::PostWindowTask(dialog.Window(), [&dialog] {
                const ui::WindowHandle active = ui::GetActiveWindow();
                if (active != nullptr && active != dialog.Window()) {
                    ui::SendWindowMessage(active, ui::kMsgClose, 0, 0, nullptr);
                }
            });
            const intptr_t position = ((pane.top + 5) << 16) | x;
            ui::SendWindowMessage(dialog.StatusBar(), ui::kMsgLButtonDoubleClick, ui::kMouseLeftButton, position,
                                  nullptr);
        });
        run.Do([](CWizardDialog&) {});  // the posted task has run
        const std::vector<std::string> lines = trace.Messages();
        for (size_t i = before; i < lines.size(); ++i) {
            if (lines[i].find("CertificateManager::DisplayCertificate()") != std::string::npos) return true;
        }
        return false;
    };
    EXPECT_TRUE(doubleClickAt(pane.left + 16));
    EXPECT_FALSE(doubleClickAt(pane.left + 17));
    EXPECT_FALSE(doubleClickAt(pane.left));

    // A plain page takes the lock away; its tooltip stays set, unseen.
    run.Do([&](CWizardDialog& dialog) {
        dialog.Browser()->Navigate(pages->Http("/page?title=Plain").c_str(), nullptr, nullptr);
    });
    ASSERT_TRUE(run.WaitUntil([](CWizardDialog& dialog) {
        return ui::GetStatusBarIcon(dialog.StatusBar(), CWizardDialog::kLockPane) == 0;
    }));
    EXPECT_FALSE(doubleClickAt(pane.left + 16));
    run.Do([](CWizardDialog& dialog) {
        char tip[64] = {};
        ui::GetStatusBarTipText(dialog.StatusBar(), CWizardDialog::kLockPane, tip, sizeof tip);
        EXPECT_STREQ(tip, "SSL Secured (128 bit)");
    });
    // The close box ends with -1.
    ui::SendWindowMessage(run.Window(), ui::kMsgClose, 0, 0, nullptr);
    ASSERT_TRUE(run.WaitForEnd());
    EXPECT_EQ(run.EndCode(), -1);
}

// The run as the entry function makes it, from the pre-fill to what it hands
// back and saves.
Status RunPurchase(GatewayRecord& record, const char* certificate, const std::string& caption) {
    auto run = std::async(std::launch::async, [&] {
        return TheWizardController().RunPurchaseWizard(&record, true, certificate);
    });
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    ui::WindowHandle window = nullptr;
    while (std::chrono::steady_clock::now() < end) {
        window = TheWizardWindowRegistry().RunningWizard();
        if (window != nullptr && Caption(window) == caption) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_EQ(Caption(window), caption);
    // The person closes the window.
    ui::SendWindowMessage(window, ui::kMsgClose, 0, 0, nullptr);
    EXPECT_EQ(run.wait_for(std::chrono::seconds(30)), std::future_status::ready);
    return run.get();
}

TEST_F(StorePagesTest, PurchaseHandsBackTheValidStateSavesTheShopperAndPrefillsTheNext) {
    ASSERT_EQ(pages->Command(
                  "next PAGENAME=INVOICE&title=Invoice&_Order.Status=2&_Shopper.BillingFirstName=Zoe"
                  "&_Shopper.BillingLastName=Quill&_Shopper.BillingEmail=zoe@example.test&_cartitem0.sku=SKU-9"),
              "ok");
    GatewayRecord record{};
    record.size = sizeof record;
    record.wizardWidth = 700;
    record.wizardHeight = 500;
    record.invoiceWidth = 800;
    record.invoiceHeight = 600;
    record.cartStateOut = static_cast<unsigned char*>(heap::Allocate(64));  // a caller's old block: freed
    EXPECT_EQ(RunPurchase(record, nullptr, "Invoice"), 0u);
    ASSERT_NE(record.cartStateOut, nullptr);
    EXPECT_EQ(ValueOf(record.cartStateOut, "_Order.Status"), "1");
    EXPECT_EQ(ValueOf(record.cartStateOut, "_cartitem0.sku"), "SKU-9");
    EXPECT_EQ(TheWizardController().GetWizardMode(), WIZARDMODE_PURCHASE);
    EXPECT_EQ(ThePurchaseInfo().firstName, "Zoe");
    const auto saved = testing::ValueBytes(platform::RegistryRoot::CurrentUser, kPurchaseInfoKey, kPurchaseInfoValue);
    ASSERT_TRUE(saved.has_value());

    // The next purchase's POST carries the saved shopper; its only page holds
    // a blob that is not valid: nothing handed back, nothing saved.
    ASSERT_EQ(pages->Command("next PAGENAME=PRODUCT&title=Broken&field=bad"), "ok");
    EXPECT_EQ(RunPurchase(record, nullptr, "Broken"), 0u);
    EXPECT_EQ(record.cartStateOut, nullptr);
    EXPECT_THAT(pages->Command("last-prefill"), HasSubstr(Hex("Zoe")));
    EXPECT_EQ(testing::ValueBytes(platform::RegistryRoot::CurrentUser, kPurchaseInfoKey, kPurchaseInfoValue), saved);
    ASSERT_EQ(pages->Command("next PAGENAME=PRODUCT&title=Product"), "ok");
}

TEST_F(StorePagesTest, TheCertificateNamesTheStoreHost) {
    testing::TraceCapture trace;
    GatewayRecord record{};
    record.wizardWidth = 700;
    record.wizardHeight = 500;
    // The host has no address in this namespace: the browser shows its error
    // page, whose title the test does not know; it closes once the page is
    // asked for.
    auto run = std::async(std::launch::async, [&] {
        return TheWizardController().RunPurchaseWizard(&record, false, pages->Certificate().c_str());
    });
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    bool navigated = false;
    while (!navigated && std::chrono::steady_clock::now() < end) {
        for (const std::string& line : trace.Messages()) {
            navigated = navigated ||
                        line == "ZUN: CWizardDialog::OnBeforeNavigate(): Navigating to page "
                                "https://secure.orvella.com/secure/Prefill.aspx";
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_TRUE(navigated);
    EXPECT_EQ(TheWizardController().GetWizardMode(), WIZARDMODE_PURCHASECFU);
    ui::SendWindowMessage(TheWizardWindowRegistry().RunningWizard(), ui::kMsgClose, 0, 0, nullptr);
    ASSERT_EQ(run.wait_for(std::chrono::seconds(30)), std::future_status::ready);
    EXPECT_EQ(run.get(), 0u);
    EXPECT_EQ(record.cartStateOut, nullptr);
}

}  // namespace
}  // namespace zun
