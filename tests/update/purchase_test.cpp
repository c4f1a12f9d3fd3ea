// Purchase calls through EntryPoint, end to end on Linux: the handshake with
// the local store server behind the real wait window, then the purchase
// wizard in headless Chromium, where the scripted shopper buys.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <future>
#include <optional>
#include <thread>

#include <zunserver/zunserver.h>

#include "base/engine_heap.h"
#include "blob_text.h"
#include "shopper/purchase_info.h"
#include "shopper/registry_sandbox.h"
#include "child_process.h"
#include "file_bytes.h"
#include "processes.h"
#include "trace_capture.h"
#include "nested_purchase.h"
#include "wizard/local_store.h"
#include "wizard/wizard_controller.h"
#include "wizard/wizard_mode.h"
#include "wizard/wizard_window_registry.h"

namespace zun {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;
using testing::ChildProcess;
using testing::ValueOf;

// Whether a process of a browser that kept its profile in `folder` still runs
// after a moment (they all carry the profile's folders in their environment).
bool BrowserRunsIn(const std::string& folder) {
    const std::string mark = "XDG_CONFIG_HOME=" + folder + "/";
    return testing::ProcessStays([&](const std::filesystem::path& process) {
        return testing::FileBytes((process / "environ").string()).find(mark) != std::string::npos;
    });
}

std::string Caption(platform::ui::WindowHandle window) {
    char caption[256] = {};
    platform::ui::GetCaption(window, caption, sizeof caption);
    return caption;
}

// Whether the blob's header checksum is the XOR of its entry words.
bool ChecksumHolds(const uint8_t* blob) {
    uint32_t totalLength = 0, checksum = 0;
    std::memcpy(&totalLength, blob, 4);
    std::memcpy(&checksum, blob + 8, 4);
    return testing::ChecksumOf(testing::Bytes(blob, blob + totalLength)) == checksum;
}

class PurchaseCall : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(_store.Ready()) << "the store server did not start";
        _debuggingPort = testing::FreePort();
        setenv("ZUN_BROWSER_FLAGS", _store.BrowserFlags(_debuggingPort).c_str(), 1);
        setenv("ZUN_BROWSER_HEADLESS", "1", 1);
    }
    void TearDown() override { unsetenv("ZUN_BROWSER_FLAGS"); }

    // The purchase call while the shopper buys and closes the window;
    // `insideTheWizard` runs on the test's thread once the purchase wizard
    // is open.
    Status Buy(GatewayRecord& record, const std::vector<std::string>& shopperArguments,
               const std::function<void(platform::ui::WindowHandle)>& insideTheWizard = {}) {
        std::vector<std::string> arguments = {"/usr/bin/python3", ZUN_SHOPPER, "--port",
                                              std::to_string(_debuggingPort), "--end", "close", "--timeout", "90"};
        arguments.insert(arguments.end(), shopperArguments.begin(), shopperArguments.end());
        ChildProcess shopper(arguments);
        // The browser's profile goes into the store's folder.
        setenv("TMPDIR", _store.Folder().c_str(), 1);
        auto call = std::async(std::launch::async, [&record] { return EntryPoint(&record); });
        if (insideTheWizard) insideTheWizard(AwaitPurchaseWizard());
        EXPECT_EQ(call.wait_for(std::chrono::seconds(120)), std::future_status::ready);
        EXPECT_EQ(shopper.Wait(std::chrono::seconds(10)), 0);
        const Status status = call.get();
        unsetenv("TMPDIR");
        return status;
    }

    static platform::ui::WindowHandle AwaitPurchaseWizard() {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (std::chrono::steady_clock::now() < end) {
            const platform::ui::WindowHandle wizard = TheWizardWindowRegistry().RunningWizard();
            if (wizard != nullptr && TheWizardController().GetWizardMode() == WIZARDMODE_PURCHASE) return wizard;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return nullptr;
    }

    testing::LocalStore _store;
    int _debuggingPort = 0;
};

TEST_F(PurchaseCall, PlainAndCheckForUpdatePurchasesHandTheInvoiceStateBack) {
    char callersPublisher[] = "CALLERS-OWN";
    for (const uint32_t callType : {ZUN_CALL_PURCHASE, ZUN_CALL_PURCHASE_CFU}) {
        const bool plain = callType == ZUN_CALL_PURCHASE;
        GatewayRecord record{};
        record.size = sizeof record;
        record.callType = callType;
        record.publisherID = callersPublisher;
        // The plain purchase opens the store at the host its certificate
        // names; without a certificate in the layout reply the store opens
        // at the configured store server, whose loopback address is no
        // store host: its pages do not speak for the order.
        const char* vantor = plain ? "buyer" : "buyer-nocertificate";
        record.vantorID = vantor;
        record.skuRefNum = "ZUN-PRO-1";
        // A caller's old block is freed whatever comes back.
        record.cartStateOut = static_cast<unsigned char*>(heap::Allocate(64));
        testing::TraceCapture trace;
        // A purchase called from inside the plain purchase's wizard is
        // refused at once, and the shopper's purchase goes on. On its
        // invoice the shopper follows a link to another site, whose page
        // carries a forged state of its own, and the person closes the
        // window there once it has loaded.
        std::optional<ZunStatus> nested;
        std::function<void(platform::ui::WindowHandle)> purchaseInside;
        if (plain) {
            purchaseInside = [&nested](platform::ui::WindowHandle wizard) {
                nested = testing::PurchaseInside(wizard);
                const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(90);
                while (Caption(wizard) != "Another site" && std::chrono::steady_clock::now() < end) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(20));
                }
                EXPECT_EQ(Caption(wizard), "Another site");
                platform::ui::SendWindowMessage(wizard, platform::ui::kMsgClose, 0, 0, nullptr);
            };
        }
        std::vector<std::string> shopper = {"--set", "BillingFirstName=Mira", "--set", "BillingEmail=mira@example.com"};
        if (plain) shopper.insert(shopper.end(), {"--click", "elsewhere", "--end", "none"});
        EXPECT_EQ(Buy(record, shopper, purchaseInside), 0u);
        if (plain) {
            EXPECT_EQ(nested, ZUN_E_WIZARD_RUNNING);
        }
        // One browser served the wait window and the wizard, and it ended
        // with the call, its profile with it.
        const auto messages = trace.Messages();
        EXPECT_EQ(std::count_if(messages.begin(), messages.end(),
                                [](const std::string& line) {
                                    return line.find("ChromiumSession::Open(): starting") != std::string::npos;
                                }),
                  1);
        EXPECT_FALSE(BrowserRunsIn(_store.Folder()));
        for (const auto& entry : std::filesystem::directory_iterator(_store.Folder())) {
            EXPECT_EQ(entry.path().filename().string().rfind("zun-browser-", 0), std::string::npos) << entry.path();
        }

        EXPECT_EQ(record.interactive, 1u);
        EXPECT_EQ(record.publisherID, callersPublisher);
        EXPECT_EQ(record.wizardWidth, 800);
        EXPECT_EQ(record.invoiceHeight, 480);
        if (plain) {
            // The store's own invoice, not the other site's forgery.
            EXPECT_THAT(_store.Requests(), HasSubstr("GET /_forged"));
            ASSERT_NE(record.cartStateOut, nullptr);
            EXPECT_EQ(ValueOf(record.cartStateOut, "PAGENAME"), "INVOICE");
            EXPECT_EQ(ValueOf(record.cartStateOut, "_Order.Status"), "1");
            EXPECT_THAT(ValueOf(record.cartStateOut, "_Order.Number"), HasSubstr("ORV-"));
            EXPECT_TRUE(ChecksumHolds(record.cartStateOut));
            heap::Release(record.cartStateOut);
            EXPECT_TRUE(testing::ValueBytes(platform::RegistryRoot::CurrentUser, kPurchaseInfoKey, kPurchaseInfoValue));
        } else {
            EXPECT_EQ(record.cartStateOut, nullptr);
        }
        // The shopper's values, typed and then pre-filled from what was
        // saved, reach no trace line.
        for (const std::string& line : messages) {
            EXPECT_THAT(line, Not(HasSubstr("Mira"))) << line;
            EXPECT_THAT(line, Not(HasSubstr("mira@example.com"))) << line;
        }

        // The pre-fill is a form; it carries "&cmd=CFU" only for the
        // check-for-update purchase, which is pre-filled with the shopper
        // the plain purchase saved.
        const std::string body = _store.Control("/_prefill?part=body");
        EXPECT_THAT(body, HasSubstr(std::string("s=") + vantor + "&"));
        EXPECT_EQ(_store.Control("/_prefill?part=content_type"), "application/x-www-form-urlencoded");
        EXPECT_EQ(_store.Control("/_prefill?part=host"), plain ? "secure.orvella.com" : _store.Address());
        if (plain) {
            EXPECT_THAT(body, Not(HasSubstr("cmd=CFU")));
        } else {
            EXPECT_THAT(body, HasSubstr("&cmd=CFU"));
            EXPECT_THAT(body, HasSubstr("Mira"));
        }
        EXPECT_EQ(ThePurchaseInfo().firstName, "Mira");
        EXPECT_EQ(ThePurchaseInfo().email, "mira@example.com");
    }
}

// An update ending the call is zunclient.update_cycle's.
TEST_F(PurchaseCall, AFailedHandshakeOpensNoWizard) {
    GatewayRecord record{};
    record.size = sizeof record;
    record.callType = ZUN_CALL_PURCHASE;
    record.vantorID = "emptypublisher";
    EXPECT_EQ(EntryPoint(&record), ZUN_E_INVALID_REQUEST);
    EXPECT_EQ(record.cartStateOut, nullptr);
    EXPECT_THAT(_store.Control("/_prefill"), Not(HasSubstr("Prefill")));
}

}  // namespace
}  // namespace zun
