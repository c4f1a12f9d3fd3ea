#include "shopper/purchase_post_data.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "blob_text.h"
#include "shopper_fixture.h"
#include "shopper/affiliate_registry.h"

namespace zun {
namespace {

using platform::RegistryRoot;
using testing::MakeBlob;
using testing::ShopperTest;

class PostDataTest : public ShopperTest {
protected:
    PostDataTest() {
        _record.size = sizeof _record;
        _record.vantorID = "5001";
    }

    std::string Body(bool checkForUpdate = false) {
        std::memset(_body, 'x', sizeof _body);
        CreatePurchasePostData(_record, _body, checkForUpdate);
        const size_t length = strnlen(_body, sizeof _body);
        EXPECT_LT(length, sizeof _body) << "not terminated";
        return std::string(_body, length);
    }

    GatewayRecord _record{};
    PostDataBuffer _body;
};

TEST_F(PostDataTest, RecordSkuAndSavedNamesByteForByte) {
    EXPECT_EQ(Body(), "s=5001&pc=&page=&tc=&pt=&affidc=");
    PurchaseInfo& info = ThePurchaseInfo();
    info.firstName = "Ann";
    info.lastName = "Lee";
    info.billCity = "Oslo & Co";
    SavePurchaseInfo();
    _record.pc = "P-1";
    _record.tc = "T2";
    _record.trackingID = "TRK";
    _record.affiliateID = "";
    _record.skuRefNum = "SKU42";
    EXPECT_EQ(Body(true),
              "s=5001&pc=P-1&page=&tc=T2&cmd=CFU&pt=TRK&affidc=&_cartitem0.skurefnum=SKU42&_cartitem0.quantity=1"
              "&_shopper.billingfirstname=Ann&_shopper.billinglastname=Lee&_shopper.billingcity=Oslo \x02 Co");
}

TEST_F(PostDataTest, AffiliatePairsFromTheCallersBlob) {
    const auto blob = MakeBlob({{"_vantor.trackingid", "T-BLOB"},
                                {"_vantor.trackingidX", "not copied"},
                                {"_VANTOR.TRACKINGID", "copied"},
                                {"_vantor.affiliateid", "A-BLOB"},
                                {"_shopper.billingcity", "Bergen"}});
    _record.cartStateIn = blob.data();
    _record.affiliateID = "A-REC";
    ThePurchaseInfo().billCity = "Oslo";
    ThePurchaseInfo().firstName = "Ann";
    ThePurchaseInfo().lastName = "Lee";
    SavePurchaseInfo();
    EXPECT_EQ(Body(),
              "s=5001&pc=&page=&tc=&pt=T-BLOB&affidc=A-REC&_VANTOR.TRACKINGID=copied&_shopper.billingcity=Bergen"
              "&_shopper.billingfirstname=Ann&_shopper.billinglastname=Lee");

    const auto withoutKeys = MakeBlob({{"other", "1"}});
    _record.cartStateIn = withoutKeys.data();
    _record.affiliateID = nullptr;
    EXPECT_EQ(Body().substr(0, 34), "s=5001&pc=&page=&tc=&other=1&_shop");
}

TEST_F(PostDataTest, BlobEntriesOfAnySize) {
    const std::string k1023(1023, 'k');
    const std::string v1023(1023, 'v');
    auto blob = MakeBlob({{std::string(1024, 'K'), "long key"},
                          {"longvalue", std::string(1024, 'V')},
                          {"", "no key"},
                          {k1023, v1023},
                          {"big", std::string(1100, 'b')},
                          {"last", "claims too much"}});
    // The last entry's value length runs past the blob's end.
    blob[blob.size() - 16 - 2] = 0xFF;
    _record.cartStateIn = blob.data();
    const std::string body = Body();
    // "big" is skipped: its lengths leave no room in the body.
    EXPECT_EQ(body, "s=5001&pc=&page=&tc=&longvalue=&" + k1023 + "=" + v1023);
}

TEST_F(PostDataTest, WebStoreAddressNeedsAPublisherAndIsMirrored) {
    const std::string publisher = testing::UniqueName("pub");
    const std::string path = "Software\\Orvella\\Affiliates\\" + publisher + "\\SKU42";
    testing::PutText(RegistryRoot::LocalMachine, path, "URL", "https://shop.example/a&b");
    _record.skuRefNum = "SKU42";
    EXPECT_EQ(Body().find("WebStoreURL"), std::string::npos);
    EXPECT_FALSE(testing::ValueBytes(RegistryRoot::CurrentUser, path, "URL").has_value());

    char publisherID[50];
    std::strcpy(publisherID, publisher.c_str());
    _record.publisherID = publisherID;
    const std::string body = Body();
    EXPECT_NE(body.find("&WebStoreURL=https://shop.example/a\x02" "b"), std::string::npos) << body;
    EXPECT_TRUE(testing::ValueBytes(RegistryRoot::CurrentUser, path, "URL").has_value());

    // The SKU from the caller's blob when the record has none.
    const auto blob = MakeBlob({{"_cartitem0.skurefnum", "SKU42"}});
    _record.skuRefNum = nullptr;
    _record.cartStateIn = blob.data();
    EXPECT_NE(Body().find("&WebStoreURL="), std::string::npos);
}

TEST_F(PostDataTest, AffiliateValuesOf255BytesAreReadAnd256AreNot) {
    const std::string path = "Software\\Orvella\\Affiliates\\" + testing::UniqueName("pub") + "\\S";
    testing::PutText(RegistryRoot::CurrentUser, path, "fits", std::string(254, 'a'));  // 255 bytes
    testing::PutText(RegistryRoot::CurrentUser, path, "too", std::string(255, 'a'));   // 256 bytes
    EXPECT_EQ(ReadAffiliateValue(path.c_str(), "fits"), std::string(254, 'a'));
    EXPECT_EQ(ReadAffiliateValue(path.c_str(), "too"), "");
    EXPECT_TRUE(testing::ValueBytes(RegistryRoot::LocalMachine, path, "fits").has_value());
    EXPECT_FALSE(testing::ValueBytes(RegistryRoot::LocalMachine, path, "too").has_value());
}

TEST_F(PostDataTest, ValuesThatDoNotFitAreLeftOutWhole) {
    const std::string value2047(2047, 'p');
    const std::string value2048(2048, 't');
    _record.pc = value2047.c_str();
    _record.tc = value2048.c_str();
    _record.trackingID = value2047.c_str();  // no room left for it
    _record.skuRefNum = "SKU";
    std::string body = Body();
    EXPECT_EQ(body, "s=5001&pc=" + value2047 + "&page=&affidc=&_cartitem0.skurefnum=SKU&_cartitem0.quantity=1");

    // The body never runs over, whatever the caller hands in.
    const std::string huge(5000, 'h');
    _record.vantorID = huge.c_str();
    _record.pc = huge.c_str();
    _record.couponName = value2047.c_str();
    _record.serialNumberExtraData = value2047.c_str();
    body = Body(true);
    EXPECT_LE(body.size(), 3095u);
    EXPECT_EQ(body.find('h'), std::string::npos);
}

}  // namespace
}  // namespace zun
