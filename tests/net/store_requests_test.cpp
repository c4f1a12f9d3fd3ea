#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include <zunserver/zunserver.h>

#include "blob_text.h"
#include "gateway/engine_module_info.h"
#include "net/store_requests.h"
#include "platform/module_loader.h"

namespace zun {
namespace {

std::string SilentCheckUrl(const char* s, const char* sku, const char* pc, const char* tracking,
                           Status expected = 0) {
    char url[kRequestUrlSize];
    EXPECT_EQ(BuildSilentCheckUrl(url, sizeof url, "store.example:8080", s, sku, pc, tracking), expected);
    return url;
}

TEST(StoreRequests, SilentCheckUrlCarriesTheFieldsAsTheyAre) {
    EXPECT_EQ(SilentCheckUrl("V1", "SKU-9", "pc7", "T42"),
              "http://store.example:8080/store/IEEngineHandler.aspx?call=silentcheckforupdate"
              "&cmd=silentcheckforupdate&s=V1&skurefnum=SKU-9&pc=pc7&trackingID=T42");
    // No encoding: "&" starts another parameter and blanks stay blanks.
    EXPECT_EQ(SilentCheckUrl("a&pc=evil", "two words", nullptr, nullptr),
              "http://store.example:8080/store/IEEngineHandler.aspx?call=silentcheckforupdate"
              "&cmd=silentcheckforupdate&s=a&pc=evil&skurefnum=two words&pc=&trackingID=");
}

TEST(StoreRequests, LongFieldsCutTheUrlAt1024Characters) {
    const std::string longId(2000, 'x');
    const std::string url = SilentCheckUrl(longId.c_str(), "S", "P", "T", ZUN_E_TEXT_TRUNCATED);
    EXPECT_EQ(url.size(), kRequestUrlSize - 1);
    EXPECT_EQ(url.substr(url.size() - 10), std::string(10, 'x'));
}

TEST(StoreRequests, EngineUpdateAndLayoutUrls) {
    GatewayRecord record{};
    record.vantorID = "V";
    record.pc = "P";
    record.tc = "TC";
    char url[kRequestUrlSize];
    ASSERT_EQ(BuildEngineUpdateUrl(url, sizeof url, "h", record, "1.2.3.4"), 0u);
    EXPECT_STREQ(url, "http://h/store/IEEngineHandler.aspx?call=CHECKFORIEENGINEUPDATE&cmd=CHECKFORIEENGINEUPDATE"
                      "&vnidc=V&pubidc=&pc=P&actidc=&vers=1.2.3.4");
    ASSERT_EQ(BuildLayoutUrl(url, sizeof url, "h", record), 0u);
    EXPECT_STREQ(url, "http://h/store/IEEngineHandler.aspx?call=layoutSize&cmd=layoutSize&s=V&tc=TC");

    GatewayRecord empty{};
    ASSERT_EQ(BuildLayoutUrl(url, sizeof url, "h", empty), 0u);
    EXPECT_STREQ(url, "http://h/store/IEEngineHandler.aspx?call=layoutSize&cmd=layoutSize&s=&tc=");
}

TEST(StoreRequests, ActivationIdComesFromTheRecordElseFromTheCallersCartState) {
    // An id as long as its 100-byte buffer arrives whole though unterminated.
    const std::string longId(100, '7');
    const testing::Bytes blob = testing::MakeBlob({{"_cartitem0.activationid", longId}, {"X", "Y"}});
    GatewayRecord record{};
    record.cartStateIn = blob.data();
    char url[kRequestUrlSize];
    ASSERT_EQ(BuildEngineUpdateUrl(url, sizeof url, "h", record, "0.0.0.0"), 0u);
    EXPECT_NE(std::string(url).find("&actidc=" + longId + "&vers=0.0.0.0"), std::string::npos) << url;

    record.actidc = "ACT";
    ASSERT_EQ(BuildEngineUpdateUrl(url, sizeof url, "h", record, "0.0.0.0"), 0u);
    EXPECT_NE(std::string(url).find("&actidc=ACT&"), std::string::npos) << url;

    const testing::Bytes other = testing::MakeBlob({{"PAGENAME", "X"}});
    record.actidc = "";
    record.cartStateIn = other.data();
    ASSERT_EQ(BuildEngineUpdateUrl(url, sizeof url, "h", record, "0.0.0.0"), 0u);
    EXPECT_NE(std::string(url).find("&actidc=&"), std::string::npos) << url;
}

TEST(StoreRequests, AFileWithoutVersionSendsZeros) {
    char text[24];
    ASSERT_EQ(FormatVersionText(platform::ReadFileVersion("no-such-file.bin"), text, sizeof text), 0u);
    EXPECT_STREQ(text, "0.0.0.0");
#if defined(_WIN32)
    // The test program carries no version resource.
    char path[1024];
    ASSERT_EQ(platform::GetExecutablePath(path, sizeof path), 0u);
    ASSERT_EQ(FormatVersionText(platform::ReadFileVersion(path), text, sizeof text), 0u);
    EXPECT_STREQ(text, "0.0.0.0");
#endif
    GatewayRecord record{};
    char url[kRequestUrlSize];
    ASSERT_EQ(BuildEngineUpdateUrl(url, sizeof url, "h", record, text), 0u);
    EXPECT_NE(std::string(url).find("&vers=0.0.0.0"), std::string::npos) << url;
}

TEST(StoreRequests, NumbersAreReadAsAtoiReadsThem) {
    EXPECT_EQ(ParseDecimal("600"), 600);
    EXPECT_EQ(ParseDecimal("600px"), 600);
    EXPECT_EQ(ParseDecimal("  -42x"), -42);
    EXPECT_EQ(ParseDecimal("+7"), 7);
    EXPECT_EQ(ParseDecimal("px"), 0);
    EXPECT_EQ(ParseDecimal(""), 0);
    EXPECT_EQ(ParseDecimal("99999999999"), INT32_MAX);
    // Bounded by the view: digits beyond it are not read.
    EXPECT_EQ(ParseDecimal(std::string_view("12345678", 3)), 123);
}

}  // namespace
}  // namespace zun
