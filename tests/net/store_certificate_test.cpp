// The secure store's certificate as the engine receives it in the layout
// reply: whole within the engine's buffer, and naming the store's host.
#include <gtest/gtest.h>

#include <string>

#include <zunserver/zunserver.h>

#include "cert/certificatemanager.h"
#include "net/inetblock.h"
#include "net/store_requests.h"
#include "state/cartstate.h"
#include "store_server.h"

namespace zun {
namespace {

using testing::StoreServer;

TEST(StoreCertificate, TheLayoutReplyCarriesItWholeAndItNamesTheSecureStore) {
    const std::string served = testing::StoreCertificate();
    ASSERT_FALSE(served.empty());
    EXPECT_EQ(testing::StoreCertificatePin().size(), 44u) << "base64 of a SHA-256 digest";

    GatewayRecord record{};
    record.size = sizeof record;
    record.vantorID = "5001";
    char url[kRequestUrlSize];
    ASSERT_EQ(BuildLayoutUrl(url, sizeof url, StoreServer().c_str(), record), 0u);
    InetBlock session;
    ASSERT_EQ(session.OpenNetwork(StoreServer().c_str(), 0, 0), 0u);
    testing::Reply reply;
    ASSERT_EQ(session.PageGET(url, &reply.data, &reply.length), 0u);
    CartState state;
    ASSERT_EQ(LoadReply(state, reply.data), 0u);
    reply.data = nullptr;  // LoadReply released it

    char blob[kCertificateBlobSize] = {};
    ASSERT_EQ(state.GetValue("CERTIFICATEBLOB", blob, sizeof blob), 0u);
    EXPECT_EQ(std::string(blob), served);
    CertificateManager manager;
    ASSERT_EQ(manager.HookupCertificate(blob), 0u);
    char host[256];
    ASSERT_EQ(manager.GetHostNameFromCertificate(host, sizeof host), 0u);
    EXPECT_STREQ(host, "https://secure.orvella.com");
}

}  // namespace
}  // namespace zun
