#include "wizard/purchase_info.h"

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
using testing::ShopperTest;

// The entries of a serialised store, in order.
std::vector<std::pair<std::string, std::string>> Entries(const Bytes& bytes) {
    std::vector<std::pair<std::string, std::string>> entries;
    auto length = [&](size_t at) {
        return (uint32_t{bytes[at]} << 24) | (uint32_t{bytes[at + 1]} << 16) | (uint32_t{bytes[at + 2]} << 8) |
               bytes[at + 3];
    };
    for (size_t at = 4; at + 8 <= bytes.size();) {
        const uint32_t n = length(at);
        std::string name(bytes.begin() + at + 4, bytes.begin() + at + 4 + n);
        const uint32_t v = length(at + 4 + n);
        std::string value(bytes.begin() + at + 8 + n, bytes.begin() + at + 8 + n + v);
        entries.emplace_back(name, value);
        at += 8 + n + v;
    }
    return entries;
}

Bytes WithChecksum(Bytes bytes) {
    const uint32_t sum = NamedValueStore::ByteSum(bytes.data() + 4, bytes.size() - 4);
    for (int i = 0; i < 4; ++i) bytes[i] = static_cast<uint8_t>(sum >> (8 * i));
    return bytes;
}

Bytes Store(const std::vector<std::pair<std::string, std::string>>& entries) {
    Bytes bytes(4, 0);
    for (const auto& [name, value] : entries) {
        for (const std::string* text : {&name, &value}) {
            const auto n = static_cast<uint32_t>(text->size());
            bytes.insert(bytes.end(), {static_cast<uint8_t>(n >> 24), static_cast<uint8_t>(n >> 16),
                                       static_cast<uint8_t>(n >> 8), static_cast<uint8_t>(n)});
            bytes.insert(bytes.end(), text->begin(), text->end());
        }
    }
    return WithChecksum(bytes);
}

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
    PutSavedStore(Store({{"EMAIL", "old@x.no"}, {"email", "a@x.no"}, {"cCardNumber", "4111"}, {"custom", "kept"},
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

TEST_F(ShopperTest, LoadAcceptsZeroChecksumAndIgnoresWrongOrUnsoundData) {
    Bytes unchecked = Store({{"firstName", "Zed"}});
    unchecked[0] = unchecked[1] = unchecked[2] = unchecked[3] = 0;
    PutSavedStore(unchecked);
    EXPECT_EQ(ThePurchaseInfo().firstName, "Zed");

    Bytes wrong = Store({{"firstName", "Eve"}, {"lastName", "Lee"}});
    wrong[0] ^= 0x10;
    PutSavedStore(wrong);
    EXPECT_EQ(ThePurchaseInfo().firstName, "Zed");  // from the store's previous content
    EXPECT_EQ(ThePurchaseInfo().lastName, "");

    Bytes overrun = Store({{"firstName", "Eve"}});
    overrun[4] = 0x7F;  // name length far beyond the end
    PutSavedStore(WithChecksum(overrun));
    EXPECT_EQ(ThePurchaseInfo().firstName, "Zed");
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
