#include "net/store_requests.h"

#include <gtest/gtest.h>

#include <string>

#include <zunserver/zunserver.h>

#include "blob_text.h"

namespace zun {
namespace {

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

}  // namespace
}  // namespace zun
