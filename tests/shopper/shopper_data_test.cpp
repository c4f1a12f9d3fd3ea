// The shopper's saved data: the registry it lives in, the saved purchase
// information's bytes and the pre-fill POST body made from it.
#include <gtest/gtest.h>

#if !defined(_WIN32)
#include <sys/stat.h>
#endif

#include <cstring>
#include <fstream>
#include <map>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "base/engine_heap.h"
#include "blob_text.h"
#include "registry_sandbox.h"
#include "shopper/named_value_store.h"
#include "shopper/purchase_info.h"
#include "shopper/purchase_post_data.h"
#include "shopper/registry_data.h"
#include "state/cartstate.h"

namespace zun {
namespace {

using platform::RegistryRoot;
using testing::MakeBlob;
using Bytes = std::vector<uint8_t>;
using Entries = std::vector<std::pair<std::string, std::string>>;

TEST(Registry, ReadersNeverSeeHalfAValue) {
    const std::string path = "Software\\ZunTests\\" + testing::UniqueName("atomic");
    const Bytes first(6000, 'a'), second(9000, 'b');
    testing::PutValue(RegistryRoot::CurrentUser, path, "v", platform::kRegBinary, first);
    std::thread writer([&] {
        for (int i = 0; i < 40; ++i) {
            testing::PutValue(RegistryRoot::CurrentUser, path, "v", platform::kRegBinary, i % 2 ? first : second);
        }
    });
    int whole = 0;
    for (int i = 0; i < 40; ++i) {
        // Empty when the value changed size between the two queries.
        const Bytes read = ReadRegistryData(RegistryRoot::CurrentUser, path.c_str(), "v");
        EXPECT_TRUE(read.empty() || read == first || read == second);
        whole += !read.empty();
    }
    writer.join();
    EXPECT_GT(whole, 0);
    EXPECT_EQ(ReadRegistryData(RegistryRoot::CurrentUser, path.c_str(), "v"), first);
}

#if !defined(_WIN32)
// A hive that cannot be opened (a folder, a file that is no database) is an
// error, never an empty hive.
TEST(Registry, NewHiveFilesAreTheUsersAloneAndUnopenableHivesAreErrors) {
    const std::string saved = getenv("ZUN_USER_HIVE");
    const std::string file = saved + "." + testing::UniqueName("new") + "/sub/user.db";
    const std::string notADatabase = saved + ".text";
    setenv("ZUN_USER_HIVE", file.c_str(), 1);
    EXPECT_TRUE(WriteRegistryString(RegistryRoot::CurrentUser, "Software\\X", "v", "private"));
    struct stat info {};
    ASSERT_EQ(stat(file.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 077, 0u);

    std::ofstream(notADatabase) << "this is not a database file, and it is long enough to have a header of sorts.\n";
    for (const char* hive : {"/tmp", notADatabase.c_str()}) {
        setenv("ZUN_USER_HIVE", hive, 1);
        platform::RegistryKey key = nullptr;
        EXPECT_NE(platform::RegistryCreateKey(RegistryRoot::CurrentUser, "Software", &key), 0u) << hive;
        EXPECT_EQ(key, nullptr);
    }
    setenv("ZUN_USER_HIVE", saved.c_str(), 1);
    remove(notADatabase.c_str());
}
#endif

// Entries as given, duplicates included, behind a right checksum.
Bytes Serialised(const Entries& entries) {
    Bytes bytes(4, 0);
    for (const auto& [name, value] : entries) {
        for (const std::string* text : {&name, &value}) {
            for (int shift = 24; shift >= 0; shift -= 8) bytes.push_back(static_cast<uint8_t>(text->size() >> shift));
            bytes.insert(bytes.end(), text->begin(), text->end());
        }
    }
    const uint32_t sum = NamedValueStore::ByteSum(bytes.data() + 4, bytes.size() - 4);
    for (int i = 0; i < 4; ++i) bytes[i] = static_cast<uint8_t>(sum >> (8 * i));
    return bytes;
}

Bytes Content(NamedValueStore& store) {
    store.StoreChecksum();
    return Bytes(store.Data(), store.Data() + store.Size());
}

// Bytes that fail the checksum or run past their end leave the old content;
// a zero checksum is not checked. A buffer that cannot grow keeps the other
// entries: a value of a new length is removed before it is appended.
TEST(NamedValueStore, RefusedLoadsAndAFailedGrowKeepTheOldContent) {
    NamedValueStore store;
    std::string last = "Lee", longer = "Annabel";
    ASSERT_EQ(store.Set("lastName", last), 0u);
    Bytes bytes = Serialised({{"firstName", "Eve"}, {"lastName", "Lee"}});
    bytes[0] ^= 1;
    EXPECT_NE(store.Load(bytes.data(), bytes.size()), 0u);
    bytes[0] = bytes[1] = bytes[2] = bytes[3] = 0;
    bytes[4 + 4 + 9] = 0xFF;
    EXPECT_EQ(store.Load(bytes.data(), bytes.size()), ZUN_E_READ_OUT_OF_BOUNDS);
    EXPECT_NE(store.Load(bytes.data(), 3), 0u);
    EXPECT_EQ(Content(store), Serialised({{"lastName", "Lee"}}));
    bytes[4 + 4 + 9] = 0;
    ASSERT_EQ(store.Load(bytes.data(), bytes.size()), 0u);
    EXPECT_EQ(store.Get("firstName"), "Eve");

    heap::FailNextAllocations(1);
    EXPECT_EQ(store.Set("firstName", longer), ZUN_E_BUFFER_GROW);
    heap::FailNextAllocations(0);
    EXPECT_EQ(Content(store), Serialised({{"lastName", "Lee"}}));
}

// The twenty names the engine saves, in their order.
const char* const kSavedNames[] = {"firstName",    "lastName",     "company",       "email",        "phone",
                                   "billAddress1", "billAddress2", "billCity",      "billState",    "billZip",
                                   "billCountry",  "shipfirstName", "shiplastName", "shipCompany", "shipAddress1",
                                   "shipAddress2", "shipCity",     "shipState",     "shipZip",      "shipCountry"};

// Every test starts from an empty saved store, in the registry and in memory.
class PurchaseInfoTest : public ::testing::Test {
protected:
    void SetUp() override { PutSavedStore({0, 0, 0, 0}); }

    static void PutSavedStore(const Bytes& bytes) {
        testing::PutValue(RegistryRoot::CurrentUser, kPurchaseInfoKey, kPurchaseInfoValue, platform::kRegBinary, bytes);
        LoadPurchaseInfo();
        ThePurchaseInfo().emailRetype.clear();
    }
    static Bytes Saved() {
        return testing::ValueBytes(RegistryRoot::CurrentUser, kPurchaseInfoKey, kPurchaseInfoValue).value_or(Bytes{});
    }
};

// Names the engine no longer saves go, whatever their letter case; a name of
// the caller's own stays ahead of the twenty, which follow in their order;
// values are trimmed and their backslashes turned into slashes.
TEST_F(PurchaseInfoTest, SaveDropsOldNamesKeepsOthersAndWritesTheTwentyInOrder) {
    PutSavedStore(Serialised({{"EMAIL", "old@x.no"}, {"email", "a@x.no"}, {"cCardNumber", "4111"}, {"custom", "kept"},
                              {"firstName", "Ann"}}));
    PurchaseInfo& info = ThePurchaseInfo();
    EXPECT_EQ(info.email, "old@x.no");
    info.email = "new@x.no";
    info.billAddress2 = "  Apt 5\\B  ";
    SavePurchaseInfo();
    EXPECT_EQ(info.billAddress2, "Apt 5/B");
    const std::map<std::string, std::string> values = {
        {"firstName", "Ann"}, {"email", "new@x.no"}, {"billAddress2", "Apt 5/B"}};
    Entries expected = {{"custom", "kept"}};
    for (const char* name : kSavedNames) expected.emplace_back(name, values.contains(name) ? values.at(name) : "");
    EXPECT_EQ(Saved(), Serialised(expected));
}

// The shopper's values fill the purchase information, but without both
// billing names nothing is saved. (A whole shopper saved is the purchase
// test's.)
TEST_F(PurchaseInfoTest, SaveShopperInfoNeedsBothBillingNames) {
    const std::string city(300, 'c');
    const std::string text = testing::EncodeBase64(MakeBlob(
        {{"_Shopper.BillingFirstName", "Ann"}, {"_Shopper.BillingEmail", "ann@x.no"}, {"_Shopper.BillingCity", city}}));
    CartState shopper;
    ASSERT_EQ(shopper.SetCartState(text.c_str()), 0u);
    SaveShopperInfo(shopper);
    PurchaseInfo& info = ThePurchaseInfo();
    EXPECT_EQ(info.firstName, "Ann");
    EXPECT_EQ(info.emailRetype, "ann@x.no");
    EXPECT_EQ(info.billCity, city.substr(0, 255));
    EXPECT_EQ(Saved(), Bytes(4, 0));
}

class PostDataTest : public PurchaseInfoTest {
protected:
    void SetUp() override {
        PurchaseInfoTest::SetUp();
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

TEST_F(PostDataTest, TheRecordTheSavedNamesAndTheCallersBlobByteForByte) {
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

    const auto blob = MakeBlob({{"_vantor.trackingid", "T-BLOB"},
                                {"_vantor.trackingidX", "not copied"},
                                {"_VANTOR.TRACKINGID", "copied"},
                                {"_vantor.affiliateid", "A-BLOB"},
                                {"_shopper.billingcity", "Bergen"}});
    _record.pc = _record.tc = _record.trackingID = _record.skuRefNum = nullptr;
    _record.cartStateIn = blob.data();
    _record.affiliateID = "A-REC";
    EXPECT_EQ(Body(),
              "s=5001&pc=&page=&tc=&pt=T-BLOB&affidc=A-REC&_VANTOR.TRACKINGID=copied&_shopper.billingcity=Bergen"
              "&_shopper.billingfirstname=Ann&_shopper.billinglastname=Lee");
}

// Values and blob entries of any size: what does not fit is left out whole,
// and the body never runs over.
TEST_F(PostDataTest, WhatDoesNotFitIsLeftOutWhole) {
    const std::string k1023(1023, 'k'), v1023(1023, 'v');
    auto blob = MakeBlob({{std::string(1024, 'K'), "long key"},
                          {"longvalue", std::string(1024, 'V')},
                          {"", "no key"},
                          {k1023, v1023},
                          {"big", std::string(1100, 'b')},
                          {"last", "claims too much"}});
    blob[blob.size() - 16 - 2] = 0xFF;  // the last value's length runs past the blob's end
    _record.cartStateIn = blob.data();
    EXPECT_EQ(Body(), "s=5001&pc=&page=&tc=&longvalue=&" + k1023 + "=" + v1023);

    const std::string value2047(2047, 'p'), value2048(2048, 't'), huge(5000, 'h');
    _record.cartStateIn = nullptr;
    _record.pc = value2047.c_str();
    _record.tc = value2048.c_str();
    _record.trackingID = value2047.c_str();
    _record.skuRefNum = "SKU";
    EXPECT_EQ(Body(), "s=5001&pc=" + value2047 + "&page=&affidc=&_cartitem0.skurefnum=SKU&_cartitem0.quantity=1");
    _record.vantorID = _record.pc = huge.c_str();
    _record.couponName = _record.serialNumberExtraData = value2047.c_str();
    const std::string body = Body(true);
    EXPECT_LE(body.size(), 3095u);
    EXPECT_EQ(body.find('h'), std::string::npos);
}

}  // namespace
}  // namespace zun
