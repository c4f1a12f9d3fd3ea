// Purchase calls through EntryPoint, end to end on Linux: the handshake with
// the local store server behind the real wait window, then the purchase
// wizard in headless Chromium, where the scripted shopper buys.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <future>
#include <sstream>

#include <zunserver/zunserver.h>

#include "base/bounded_text.h"
#include "base/engine_heap.h"
#include "net/inetblock.h"
#include "net/store_host.h"
#include "shopper/purchase_info.h"
#include "state/cartstate.h"
#include "wizard/child_process.h"

namespace zun {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;
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

std::string ValueOf(const uint8_t* blob, const char* key) {
    uint32_t totalLength = 0;
    std::memcpy(&totalLength, blob, sizeof totalLength);
    char value[256] = {};
    if (CartState::GetValueFromBuffer(blob, totalLength, key, value, sizeof value) != 0) return "<none>";
    return std::string(TextInBuffer(value));
}

class PurchaseCall : public ::testing::Test {
protected:
    void SetUp() override {
        char folder[] = "/tmp/zun-purchase-call-XXXXXX";
        ASSERT_NE(mkdtemp(folder), nullptr);
        _folder = folder;
        _server = std::make_unique<ChildProcess>(std::vector<std::string>{
            "python3", ZUN_STORE_SERVER, "--port", "0", "--pin-file", _folder + "/pin", "--log",
            _folder + "/requests.log"});
        const std::string ready = _server->ReadLine();
        const size_t at = ready.rfind(' ');
        ASSERT_NE(at, std::string::npos) << ready;
        _address = ready.substr(at + 1);
        _debuggingPort = FreePort();
        // The secure store's host, which its certificate names, is this server.
        const std::string flags = "--host-resolver-rules=\"MAP secure.orvella.com:443 " + _address +
                                  "\" --ignore-certificate-errors-spki-list=" + FileText(_folder + "/pin") +
                                  " --remote-debugging-port=" + std::to_string(_debuggingPort);
        setenv("ZUN_BROWSER_FLAGS", flags.c_str(), 1);
        setenv("ZUN_BROWSER_HEADLESS", "1", 1);
        CopyText(_savedHost, StoreHost());
        CopyText(StoreHost(), kStoreHostSize, _address.c_str());
    }
    void TearDown() override {
        CopyText(StoreHost(), kStoreHostSize, _savedHost);
        unsetenv("ZUN_BROWSER_FLAGS");
        _server.reset();
        std::system(("rm -rf " + _folder).c_str());
    }

    std::string Control(const std::string& path) {
        InetBlock session;
        if (session.OpenNetwork(_address.c_str(), 0, 0) != 0) return "";
        uint8_t* data = nullptr;
        uint32_t length = 0xFFFFFFFF;
        const std::string url = "http://" + _address + path;
        if (session.PageGET(url.c_str(), &data, &length) != 0) return "";
        std::string text(reinterpret_cast<char*>(data), length);
        heap::Release(data);
        return text;
    }

    // The purchase call while the shopper buys and closes the window.
    Status Buy(GatewayRecord& record, const std::vector<std::string>& shopperArguments) {
        std::vector<std::string> arguments = {"/usr/bin/python3", ZUN_SHOPPER, "--port",
                                              std::to_string(_debuggingPort), "--end", "close", "--timeout", "90"};
        arguments.insert(arguments.end(), shopperArguments.begin(), shopperArguments.end());
        ChildProcess shopper(arguments);
        auto call = std::async(std::launch::async, [&record] { return EntryPoint(&record); });
        EXPECT_EQ(call.wait_for(std::chrono::seconds(120)), std::future_status::ready);
        EXPECT_EQ(shopper.Wait(std::chrono::seconds(10)), 0);
        return call.get();
    }

    std::string _folder;
    std::unique_ptr<ChildProcess> _server;
    std::string _address;
    int _debuggingPort = 0;
    char _savedHost[kStoreHostSize] = {};
};

TEST_F(PurchaseCall, PlainAndCheckForUpdatePurchasesHandTheInvoiceStateBack) {
    char callersPublisher[] = "CALLERS-OWN";
    for (const uint32_t callType : {ZUN_CALL_PURCHASE, ZUN_CALL_PURCHASE_CFU}) {
        GatewayRecord record{};
        record.size = sizeof record;
        record.callType = callType;
        record.publisherID = callersPublisher;
        // The plain purchase opens the store at the host its certificate
        // names; without a certificate in the layout reply the store opens
        // at the store host.
        const char* vantor = callType == ZUN_CALL_PURCHASE ? "buyer" : "buyer-nocertificate";
        record.vantorID = vantor;
        record.skuRefNum = "ZUN-PRO-1";
        record.tc = "TC-9";
        EXPECT_EQ(Buy(record, {"--set", "BillingFirstName=Mira", "--set", "BillingEmail=mira@example.com"}), 0u);

        EXPECT_EQ(record.interactive, 1u);
        EXPECT_EQ(record.publisherID, callersPublisher);
        EXPECT_EQ(record.wizardWidth, 800);
        EXPECT_EQ(record.invoiceHeight, 480);
        ASSERT_NE(record.cartStateOut, nullptr);
        EXPECT_EQ(ValueOf(record.cartStateOut, "PAGENAME"), "INVOICE");
        heap::Release(record.cartStateOut);

        // The pre-fill carries "&cmd=CFU" only for the check-for-update
        // purchase.
        const std::string body = Control("/_prefill?part=body");
        EXPECT_THAT(body, HasSubstr(std::string("s=") + vantor + "&"));
        EXPECT_EQ(Control("/_prefill?part=host"),
                  callType == ZUN_CALL_PURCHASE ? "secure.orvella.com" : _address);
        if (callType == ZUN_CALL_PURCHASE_CFU) {
            EXPECT_THAT(body, HasSubstr("&cmd=CFU"));
        } else {
            EXPECT_THAT(body, Not(HasSubstr("cmd=CFU")));
        }
        EXPECT_EQ(ThePurchaseInfo().firstName, "Mira");
    }
    const std::string requests = FileText(_folder + "/requests.log");
    EXPECT_THAT(requests, HasSubstr("call=layoutSize&cmd=layoutSize&s=buyer-nocertificate&tc=TC-9"));
}

TEST_F(PurchaseCall, AFailedHandshakeOpensNoWizardAndAnUpdateReturnsAtOnce) {
    GatewayRecord record{};
    record.size = sizeof record;
    record.callType = ZUN_CALL_PURCHASE;
    record.vantorID = "emptypublisher";
    EXPECT_EQ(EntryPoint(&record), ZUN_E_INVALID_REQUEST);
    EXPECT_EQ(record.cartStateOut, nullptr);

    record.vantorID = "update";
    setenv("TMPDIR", _folder.c_str(), 1);
    EXPECT_EQ(EntryPoint(&record), ZUN_E_ENGINE_UPDATED);
    unsetenv("TMPDIR");
    EXPECT_EQ(record.engineUpdated, 1u);
    EXPECT_THAT(std::string(record.updateFilePath), HasSubstr(_folder + "/XWS"));
    EXPECT_EQ(record.cartStateOut, nullptr);
    EXPECT_THAT(Control("/_prefill"), Not(HasSubstr("Prefill")));
}

}  // namespace
}  // namespace zun
