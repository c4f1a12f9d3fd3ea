#include "shopper/purchase_info.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "blob_text.h"
#include "shopper_fixture.h"
#include "state/cartstate.h"

namespace zun {
namespace {

using Bytes = std::vector<uint8_t>;
using testing::Entries;
using testing::Serialised;
using testing::ShopperTest;
using testing::WithChecksum;

const char* const kSavedNames[] = {"firstName",     "lastName",     "company",      "email",        "phone",
                                   "billAddress1",  "billAddress2", "billCity",     "billState",    "billZip",
                                   "billCountry",   "shipfirstName", "shiplastName", "shipCompany", "shipAddress1",
                                   "shipAddress2",  "shipCity",     "shipState",    "shipZip",      "shipCountry"};

TEST_F(ShopperTest, FirstSaveWritesTheTwentyNamesInOrderAndLoadsBack) {
    PurchaseInfo& info = ThePurchaseInfo();
    info.firstName = "Ann";
    info.lastName = "Lee";
    info.billAddress2 = "  Apt 5\\B  ";
    info.shipCountry = "NO";
    SavePurchaseInfo();
    EXPECT_EQ(info.billAddress2, "Apt 5/B");  // trimmed in memory too

    const Bytes saved = SavedStore();
    EXPECT_EQ(saved, WithChecksum(saved));
    const auto entries = Entries(saved);
    ASSERT_EQ(entries.size(), 20u);
    for (size_t i = 0; i < 20; ++i) EXPECT_EQ(entries[i].first, kSavedNames[i]);
    EXPECT_EQ(entries[6].second, "Apt 5/B");
    EXPECT_EQ(entries[2].second, "");

    info = PurchaseInfo{};
    LoadPurchaseInfo();
    EXPECT_EQ(info.firstName, "Ann");
    EXPECT_EQ(info.billAddress2, "Apt 5/B");
    EXPECT_EQ(info.shipCountry, "NO");
}

TEST_F(ShopperTest, SaveDropsOldNamesAndRewritesEmailAfterTheOthers) {
    PutSavedStore(Serialised({{"EMAIL", "old@x.no"}, {"email", "a@x.no"}, {"cCardNumber", "4111"}, {"custom", "kept"},
                         {"firstName", "Ann"}}));
    PurchaseInfo& info = ThePurchaseInfo();
    EXPECT_EQ(info.email, "old@x.no");  // the first entry matching "email"
    info.email = "new@x.no";
    info.lastName = "Lee";
    SavePurchaseInfo();

    const auto entries = Entries(SavedStore());
    ASSERT_EQ(entries.size(), 21u);
    EXPECT_EQ(entries[0], (std::pair<std::string, std::string>{"custom", "kept"}));
    EXPECT_EQ(entries[1].first, "firstName");  // same length: kept in place
    for (const auto& [name, value] : entries) EXPECT_NE(name, "EMAIL");
    for (const auto& [name, value] : entries) EXPECT_NE(name, "cCardNumber");
    // "email" went with "EMAIL"; it comes back after the others set anew.
    std::vector<std::string> names;
    for (const auto& entry : entries) names.push_back(entry.first);
    const auto email = std::find(names.begin(), names.end(), "email");
    const auto lastName = std::find(names.begin(), names.end(), "lastName");
    ASSERT_NE(email, names.end());
    EXPECT_GT(email, lastName);
    EXPECT_EQ(entries[email - names.begin()].second, "new@x.no");
}

TEST_F(ShopperTest, SaveShopperInfoNeedsBothBillingNames) {
    const Bytes before = SavedStore();
    const std::string longCity(300, 'c');
    const auto blob = testing::MakeBlob({{"_Shopper.BillingFirstName", "Ann"},
                                         {"_Shopper.BillingEmail", "ann@x.no"},
                                         {"_Shopper.BillingCity", longCity}});
    CartState onlyFirstName;
    ASSERT_EQ(onlyFirstName.SetCartState(testing::EncodeBase64(blob).c_str()), 0u);
    SaveShopperInfo(onlyFirstName);
    PurchaseInfo& info = ThePurchaseInfo();
    EXPECT_EQ(info.firstName, "Ann");
    EXPECT_EQ(info.emailRetype, "ann@x.no");
    EXPECT_EQ(info.billCity, longCity.substr(0, 255));
    EXPECT_EQ(SavedStore(), before);

    CartState both;
    ASSERT_EQ(both.SetCartState(testing::EncodeBase64(testing::MakeBlob({{"_Shopper.BillingFirstName", "Ann"},
                                                                          {"_Shopper.BillingLastName", "Lee"},
                                                                          {"_Shopper.BillingEmail", "ann@x.no"}}))
                                    .c_str()),
              0u);
    SaveShopperInfo(both);
    EXPECT_EQ(info.billCity, "");
    const auto entries = Entries(SavedStore());
    ASSERT_EQ(entries.size(), 20u);
    EXPECT_EQ(entries[3], (std::pair<std::string, std::string>{"email", "ann@x.no"}));
    for (const auto& [name, value] : entries) EXPECT_NE(name, "emailRetype");
}

}  // namespace
}  // namespace zun
