#include "shopper/named_value_store.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/engine_heap.h"
#include "store_bytes.h"

namespace zun {
namespace {

using Bytes = std::vector<uint8_t>;
using testing::PutBigEndian;
using testing::Serialised;

Bytes Content(const NamedValueStore& store) { return Bytes(store.Data(), store.Data() + store.Size()); }

void Set(NamedValueStore& store, const char* name, std::string value) { EXPECT_EQ(store.Set(name, value), 0u); }

TEST(NamedValueStore, StoreOfFirstAndLastNameByteForByte) {
    NamedValueStore store;
    EXPECT_EQ(Content(store), Bytes(4, 0));
    Set(store, "firstName", "Ann");
    Set(store, "lastName", "Lee");
    store.StoreChecksum();
    const Bytes expected = {0x28, 0x09, 0x00, 0x00, 0, 0, 0, 9,   'f', 'i', 'r', 's', 't', 'N', 'a',
                            'm',  'e',  0,    0,    0, 3, 'A', 'n', 'n', 0,   0,   0,   8,   'l', 'a',
                            's',  't',  'N',  'a',  'm', 'e', 0, 0, 0,   3,   'L', 'e', 'e'};
    EXPECT_EQ(Content(store), expected);
    EXPECT_EQ(Content(store).size(), 43u);
}

TEST(NamedValueStore, NamesMatchByPrefixWithoutLetterCase) {
    NamedValueStore store;
    const Bytes data = Serialised({{"email", "a@b.c"}, {"shipfirstName", "Ann"}, {"shipCity", "Oslo"}});
    ASSERT_EQ(store.Load(data.data(), data.size()), 0u);
    EXPECT_EQ(store.Get("EMAIL"), "a@b.c");
    EXPECT_EQ(store.Get("ship"), "Ann");  // the first entry that begins with it
    EXPECT_EQ(store.Get("SHIPCITY"), "Oslo");
    EXPECT_EQ(store.Get("shipCityName"), "");  // longer than every name
    store.Remove("Ship");
    EXPECT_EQ(store.Get("ship"), "Oslo");
}

TEST(NamedValueStore, SetTrimsTheCallersTextAndKeepsSameLengthValuesInPlace) {
    NamedValueStore store;
    Set(store, "firstName", "Ann");
    Set(store, "billAddress2", "x");
    std::string address = "  Apt 5\\B \t\r\n";
    EXPECT_EQ(store.Set("billAddress2", address), 0u);
    EXPECT_EQ(address, "Apt 5/B");
    EXPECT_EQ(store.Get("billAddress2"), "Apt 5/B");
    // Another length: the entry moves to the end.
    const Bytes moved = Content(store);
    Set(store, "firstName", "Bob");
    const Bytes overwritten = Content(store);
    ASSERT_EQ(overwritten.size(), moved.size());
    EXPECT_EQ(std::string(overwritten.begin() + 21, overwritten.begin() + 24), "Bob");  // same place
    EXPECT_EQ(store.Size(), 4u + (8 + 12 + 7) + (8 + 9 + 3));
}

TEST(NamedValueStore, LoadRefusesUnsoundDataAndKeepsTheOldContent) {
    NamedValueStore store;
    Set(store, "firstName", "Ann");
    const Bytes before = Content(store);

    Bytes wrongChecksum = Serialised({{"firstName", "Eve"}});
    wrongChecksum[0] ^= 1;
    EXPECT_NE(store.Load(wrongChecksum.data(), wrongChecksum.size()), 0u);

    Bytes overrun = {0, 0, 0, 0};  // checksum 0: not checked
    PutBigEndian(overrun, 9);
    overrun.insert(overrun.end(), {'f', 'i', 'r', 's', 't', 'N', 'a', 'm', 'e'});
    PutBigEndian(overrun, 0xFFFFFFFF);
    overrun.insert(overrun.end(), {'E', 'v', 'e'});
    EXPECT_EQ(store.Load(overrun.data(), overrun.size()), ZUN_E_READ_OUT_OF_BOUNDS);
    Bytes cutLength = {0, 0, 0, 0, 0, 0};
    EXPECT_EQ(store.Load(cutLength.data(), cutLength.size()), ZUN_E_READ_OUT_OF_BOUNDS);
    EXPECT_NE(store.Load(cutLength.data(), 3), 0u);
    EXPECT_EQ(Content(store), before);

    // A zero checksum is accepted whatever the bytes.
    Bytes unchecked = Serialised({{"firstName", "Eve"}});
    unchecked[0] = unchecked[1] = unchecked[2] = unchecked[3] = 0;
    EXPECT_EQ(store.Load(unchecked.data(), unchecked.size()), 0u);
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
