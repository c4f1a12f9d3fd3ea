// A whole purchase in real headless Chromium: the local store server's secure
// store, the scripted shopper buying through the browser's remote debugging
// port, and RunPurchaseWizard as the entry function calls it.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <future>
#include <set>
#include <sstream>

#include "base/bounded_text.h"
#include "base/engine_heap.h"
#include "net/inetblock.h"
#include "net/store_host.h"
#include "shopper/purchase_info.h"
#include "shopper/purchase_post_data.h"
#include "shopper/registry_sandbox.h"
#include "state/cartstate.h"
#include "wizard/child_process.h"
#include "wizard/wizard_controller.h"
#include "wizard/wizard_mode.h"

namespace zun {
namespace {

namespace ui = platform::ui;
using ::testing::HasSubstr;
using testing::ChildProcess;

std::string FileText(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    std::string value = text.str();
    while (!value.empty() && (value.back() == '\n' || value.back() == '\r')) value.pop_back();
    return value;
}

int FreePort() {
    const int listener = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    int port = 0;
    if (bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size) == 0) {
        port = ntohs(address.sin_port);
    }
    close(listener);
    return port;
}

std::string Caption(ui::WindowHandle window) {
    char caption[256] = {};
    ui::GetCaption(window, caption, sizeof caption);
    return caption;
}

std::string ValueOf(const uint8_t* blob, const char* key) {
    uint32_t totalLength = 0;
    std::memcpy(&totalLength, blob, sizeof totalLength);
    char value[256] = {};
    if (CartState::GetValueFromBuffer(blob, totalLength, key, value, sizeof value) != 0) return "<none>";
    return std::string(TextInBuffer(value));
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
        char folder[] = "/tmp/zun-purchase-XXXXXX";
        ASSERT_NE(mkdtemp(folder), nullptr);
        _folder = folder;
        _server = std::make_unique<ChildProcess>(std::vector<std::string>{
            "python3", ZUN_STORE_SERVER, "--port", "0", "--certificate-file", _folder + "/certificate",
            "--pin-file", _folder + "/pin", "--log", _folder + "/requests.log"});
        const std::string ready = _server->ReadLine();
        const size_t at = ready.rfind(' ');
        ASSERT_NE(at, std::string::npos) << ready;
        _address = ready.substr(at + 1);
        _certificate = FileText(_folder + "/certificate");
        ASSERT_FALSE(_certificate.empty());
        _debuggingPort = FreePort();
        const std::string flags = "--ignore-certificate-errors-spki-list=" + FileText(_folder + "/pin") +
                                  " --remote-debugging-port=" + std::to_string(_debuggingPort);
        setenv("ZUN_BROWSER_FLAGS", flags.c_str(), 1);
        // The store is reached at the server's own address.
        CopyText(_savedHost, StoreHost());
        CopyText(StoreHost(), kStoreHostSize, _address.c_str());
    }
    void TearDown() override {
        CopyText(StoreHost(), kStoreHostSize, _savedHost);
        unsetenv("ZUN_BROWSER_FLAGS");
        _server.reset();
        std::system(("rm -rf " + _folder).c_str());
    }

    std::string Prefill(const char* part) {
        InetBlock session;
        if (session.OpenNetwork(_address.c_str(), 0, 0) != 0) return "";
        uint8_t* data = nullptr;
        uint32_t length = 0xFFFFFFFF;
        const std::string url = "http://" + _address + "/_prefill?part=" + part;
        if (session.PageGET(url.c_str(), &data, &length) != 0) return "";
        std::string text(reinterpret_cast<char*>(data), length);
        heap::Release(data);
        return text;
    }

    // Runs the purchase while the shopper buys; then closes the window as a
    // person would. The captions the window showed on the way.
    std::set<std::string> Buy(GatewayRecord& record, const std::vector<std::string>& shopperArguments) {
        std::vector<std::string> arguments = {"/usr/bin/python3", ZUN_SHOPPER, "--port",
                                              std::to_string(_debuggingPort), "--end", "none", "--timeout", "90"};
        arguments.insert(arguments.end(), shopperArguments.begin(), shopperArguments.end());
        ChildProcess shopper(arguments);
        auto run = std::async(std::launch::async,
                              [&] { return TheWizardController().RunPurchaseWizard(&record, true, nullptr); });
        std::set<std::string> captions;
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(90);
        int shopperCode = -1;
        while (std::chrono::steady_clock::now() < end) {
            if (ui::WindowHandle window = TheWizardController().GetRunningWizardHWND()) {
                captions.insert(Caption(window));
            }
            shopperCode = shopper.Wait(std::chrono::milliseconds(20));
            if (shopperCode != -1) break;
        }
        EXPECT_EQ(shopperCode, 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        ui::WindowHandle window = TheWizardController().GetRunningWizardHWND();
        captions.insert(Caption(window));
        ui::SendWindowMessage(window, ui::kMsgClose, 0, 0, nullptr);
        EXPECT_EQ(run.wait_for(std::chrono::seconds(30)), std::future_status::ready);
        EXPECT_EQ(run.get(), 0u);
        return captions;
    }

    std::string _folder;
    std::unique_ptr<ChildProcess> _server;
    std::string _address;
    std::string _certificate;
    int _debuggingPort = 0;
    char _savedHost[kStoreHostSize] = {};
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
    const std::set<std::string> captions =
        Buy(record, {"--set", "BillingFirstName=Mira", "--set", "BillingLastName=Holt", "--set",
                     "BillingEmail=mira.holt@example.com"});

    // The server received the body byte for byte, as a form.
    EXPECT_EQ(Prefill("body"), std::string(expected));
    EXPECT_EQ(Prefill("content_type"), "application/x-www-form-urlencoded");
    // Each page's title became the caption: the five steps at least.
    EXPECT_GE(captions.size(), 5u);

    ASSERT_NE(record.cartStateOut, nullptr);
    EXPECT_EQ(ValueOf(record.cartStateOut, "PAGENAME"), "INVOICE");
    EXPECT_EQ(ValueOf(record.cartStateOut, "_Order.Status"), "1");
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

}  // namespace
}  // namespace zun
