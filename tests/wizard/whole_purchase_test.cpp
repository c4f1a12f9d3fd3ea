// A whole purchase in real headless Chromium: the local store server's secure
// store, the scripted shopper buying through the browser's remote debugging
// port, and RunPurchaseWizard as the entry function calls it.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <future>
#include <set>

#include "base/bounded_text.h"
#include "base/engine_heap.h"
#include "shopper/purchase_info.h"
#include "shopper/purchase_post_data.h"
#include "shopper/registry_sandbox.h"
#include "state/cartstate.h"
#include "child_process.h"
#include "wizard/local_store.h"
#include "wizard/wizard_controller.h"
#include "wizard/wizard_mode.h"
#include "wizard/wizard_window_registry.h"

namespace zun {
namespace {

namespace ui = platform::ui;
using ::testing::HasSubstr;
using testing::ChildProcess;
using testing::ValueOf;

std::string Caption(ui::WindowHandle window) {
    char caption[256] = {};
    ui::GetCaption(window, caption, sizeof caption);
    return caption;
}

// The blob's header checksum against the XOR of its entry words.
bool ChecksumHolds(const uint8_t* blob) {
    uint32_t totalLength = 0;
    uint32_t checksum = 0;
    std::memcpy(&totalLength, blob, 4);
    std::memcpy(&checksum, blob + 8, 4);
    uint32_t computed = 0;
    for (uint32_t at = 12; at < totalLength; at += 4) {
        uint32_t word = 0;
        std::memcpy(&word, blob + at, std::min<uint32_t>(4, totalLength - at));
        computed ^= word;
    }
    return blob[6] == CartState::kSanity && computed == checksum;
}

class WholePurchase : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(_store.Ready()) << "the store server did not start";
        _debuggingPort = testing::FreePort();
        setenv("ZUN_BROWSER_FLAGS", _store.BrowserFlags(_debuggingPort).c_str(), 1);
    }
    void TearDown() override { unsetenv("ZUN_BROWSER_FLAGS"); }

    std::string Prefill(const char* part) { return _store.Control(std::string("/_prefill?part=") + part); }

    // Runs the purchase with the store's certificate (or `certificate`) while
    // the shopper buys; then, once the window shows `lastCaption` when one is
    // given, closes it as a person would. The captions the window showed on
    // the way.
    std::set<std::string> Buy(GatewayRecord& record, const std::vector<std::string>& shopperArguments,
                              const std::string& lastCaption = "", std::string certificate = "") {
        if (certificate.empty()) certificate = _store.Certificate();
        std::vector<std::string> arguments = {"/usr/bin/python3", ZUN_SHOPPER, "--port",
                                              std::to_string(_debuggingPort), "--end", "none", "--timeout", "90"};
        arguments.insert(arguments.end(), shopperArguments.begin(), shopperArguments.end());
        ChildProcess shopper(arguments);
        auto run = std::async(std::launch::async, [&] {
            return TheWizardController().RunPurchaseWizard(&record, true, certificate.c_str());
        });
        std::set<std::string> captions;
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(90);
        int shopperCode = -1;
        while (std::chrono::steady_clock::now() < end) {
            if (ui::WindowHandle window = TheWizardWindowRegistry().RunningWizard()) {
                captions.insert(Caption(window));
            }
            shopperCode = shopper.Wait(std::chrono::milliseconds(20));
            if (shopperCode != -1) break;
        }
        EXPECT_EQ(shopperCode, 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        ui::WindowHandle window = TheWizardWindowRegistry().RunningWizard();
        while (!lastCaption.empty() && Caption(window) != lastCaption && std::chrono::steady_clock::now() < end) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        captions.insert(Caption(window));
        ui::SendWindowMessage(window, ui::kMsgClose, 0, 0, nullptr);
        EXPECT_EQ(run.wait_for(std::chrono::seconds(30)), std::future_status::ready);
        EXPECT_EQ(run.get(), 0u);
        return captions;
    }

    // The store's certificate names secure.orvella.com, which the browser
    // reaches at the server's own address.
    testing::LocalStore _store;
    int _debuggingPort = 0;
};

TEST_F(WholePurchase, ShopperBuysTheInvoiceStateIsHandedBackAndTheNextPurchaseIsPrefilled) {
    char publisher[50] = "PUB-7";
    GatewayRecord record{};
    record.size = sizeof record;
    record.publisherID = publisher;
    record.vantorID = "VANTOR-1";
    record.skuRefNum = "ZUN-PRO-1";
    record.wizardWidth = 760;
    record.wizardHeight = 560;
    record.invoiceWidth = 820;
    record.invoiceHeight = 640;

    PostDataBuffer expected = {};
    CreatePurchasePostData(record, expected, false);
    // On the invoice the shopper follows a link to another site, whose page
    // carries a forged state of its own, and closes the window there.
    const std::set<std::string> captions =
        Buy(record,
            {"--set", "BillingFirstName=Mira", "--set", "BillingLastName=Holt", "--set",
             "BillingEmail=mira.holt@example.com", "--click", "elsewhere"},
            "Another site");

    // The server received the body byte for byte, as a form.
    EXPECT_EQ(Prefill("body"), std::string(expected));
    EXPECT_EQ(Prefill("content_type"), "application/x-www-form-urlencoded");
    // Each page's title became the caption: the five steps at least, and
    // the other site's page.
    EXPECT_GE(captions.size(), 5u);
    EXPECT_EQ(captions.count("Another site"), 1u);

    ASSERT_NE(record.cartStateOut, nullptr);
    EXPECT_EQ(ValueOf(record.cartStateOut, "PAGENAME"), "INVOICE");
    EXPECT_EQ(ValueOf(record.cartStateOut, "_Order.Status"), "1");
    EXPECT_THAT(ValueOf(record.cartStateOut, "_Order.Number"), HasSubstr("ORV-"));
    EXPECT_TRUE(ChecksumHolds(record.cartStateOut));
    EXPECT_EQ(ThePurchaseInfo().firstName, "Mira");
    EXPECT_EQ(ThePurchaseInfo().email, "mira.holt@example.com");
    EXPECT_TRUE(testing::ValueBytes(platform::RegistryRoot::CurrentUser, kPurchaseInfoKey, kPurchaseInfoValue));

    // The next purchase is pre-filled with the saved shopper; its old
    // cartStateOut is freed.
    Buy(record, {"--stop-at", "product"});
    EXPECT_THAT(Prefill("body"), HasSubstr("Mira"));
    EXPECT_THAT(Prefill("body"), HasSubstr("Holt"));
    ASSERT_NE(record.cartStateOut, nullptr);
    EXPECT_EQ(ValueOf(record.cartStateOut, "PAGENAME"), "PRODUCT");
    heap::Release(record.cartStateOut);
}

// A certificate whose subject only looks like a store host: the wizard opens
// the configured store instead, and the shopper's data never goes elsewhere.
TEST_F(WholePurchase, AHostileCertificateSubjectSendsNothingToItsHost) {
    ChildProcess openssl({"sh", "-c",
                          "openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -keyout "
                          "/dev/null -subj '/CN=attacker.test?.orvella.com' -days 1 -outform DER 2>/dev/null | "
                          "openssl base64 -A && echo"});
    const std::string hostile = openssl.ReadLine();
    ASSERT_GT(hostile.size(), 100u);
    char publisher[50] = "PUB-7";
    GatewayRecord record{};
    record.size = sizeof record;
    record.publisherID = publisher;
    record.vantorID = "VANTOR-2";
    record.wizardWidth = 760;
    record.wizardHeight = 560;
    Buy(record, {"--stop-at", "product"}, "", hostile);
    EXPECT_EQ(Prefill("host"), _store.Address());
    EXPECT_THAT(Prefill("body"), HasSubstr("VANTOR-2"));
    // The configured store's address is no store host: its pages do not
    // speak for the order.
    EXPECT_EQ(record.cartStateOut, nullptr);
}

}  // namespace
}  // namespace zun
