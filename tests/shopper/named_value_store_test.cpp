#include "shopper/named_value_store.h"

#include <gtest/gtest.h>

#include <string>

#include "base/engine_heap.h"
#include "shopper_fixture.h"

namespace zun {
namespace {

using Bytes = std::vector<uint8_t>;
using testing::Serialised;

Bytes Content(const NamedValueStore& store) { return Bytes(store.Data(), store.Data() + store.Size()); }

void Set(NamedValueStore& store, const char* name, std::string value) { EXPECT_EQ(store.Set(name, value), 0u); }

TEST(NamedValueStore, LayoutTrimmingAndSameLengthValuesInPlace) {
    NamedValueStore store;
    Set(store, "firstName", "Ann");
    Set(store, "lastName", "Lee");
    store.StoreChecksum();
    EXPECT_EQ(Content(store), Serialised({{"firstName", "Ann"}, {"lastName", "Lee"}}));
    EXPECT_EQ(Content(store)[0], 0x28);

    std::string address = "  Apt 5\\B \t\r\n";
    EXPECT_EQ(store.Set("lastName", address), 0u);
    EXPECT_EQ(address, "Apt 5/B");
    Set(store, "firstName", "Bob");  // same length: same place
    EXPECT_EQ(testing::Entries(Content(store)),
              (testing::StoreEntries{{"firstName", "Bob"}, {"lastName", "Apt 5/B"}}));
}

TEST(NamedValueStore, NamesMatchByPrefixWithoutLetterCase) {
    NamedValueStore store;
    const Bytes data = Serialised({{"email", "a@b.c"}, {"shipfirstName", "Ann"}, {"shipCity", "Oslo"}});
    ASSERT_EQ(store.Load(data.data(), data.size()), 0u);
    EXPECT_EQ(store.Get("EMAIL"), "a@b.c");
    EXPECT_EQ(store.Get("ship"), "Ann");  // the first entry that begins with it
    EXPECT_EQ(store.Get("shipCityName"), "");  // longer than every name
    store.Remove("Ship");
    EXPECT_EQ(store.Get("ship"), "Oslo");
}

// Bytes that fail the checksum or run past their end leave the old content;
// a zero checksum is not checked.
TEST(NamedValueStore, LoadRefusesUnsoundDataAndKeepsTheOldContent) {
    NamedValueStore store;
    Set(store, "firstName", "Ann");
    const Bytes before = Content(store);
    Bytes wrongChecksum = Serialised({{"firstName", "Eve"}});
    wrongChecksum[0] ^= 1;
    EXPECT_NE(store.Load(wrongChecksum.data(), wrongChecksum.size()), 0u);
    Bytes overrun = Serialised({{"firstName", "Eve"}});
    overrun[0] = overrun[1] = overrun[2] = overrun[3] = 0;
    overrun[4 + 4 + 9] = 0xFF;
    EXPECT_EQ(store.Load(overrun.data(), overrun.size()), ZUN_E_READ_OUT_OF_BOUNDS);
    EXPECT_NE(store.Load(overrun.data(), 3), 0u);
    EXPECT_EQ(Content(store), before);

    overrun[4 + 4 + 9] = 0;
    EXPECT_EQ(store.Load(overrun.data(), overrun.size()), 0u);
    EXPECT_EQ(store.Get("firstName"), "Eve");
}

TEST(NamedValueStore, BufferThatCannotGrowLeavesTheEntryOut) {
    NamedValueStore store;
    Set(store, "lastName", "Lee");
    Set(store, "firstName", "Ann");
    heap::FailNextAllocations(1);
    std::string longer = "Annabel";
    EXPECT_EQ(store.Set("firstName", longer), ZUN_E_BUFFER_GROW);
    heap::FailNextAllocations(0);
    EXPECT_EQ(store.Get("firstName"), "");
    EXPECT_EQ(store.Get("lastName"), "Lee");
}

}  // namespace
}  // namespace zun
