#include "state/cartstate.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "base/bounded_text.h"
#include "base/engine_heap.h"
#include "blob_text.h"
#include "platform/process_heap.h"
#include "state/cartstate_entries.h"
#include "trace_capture.h"

namespace zun {
namespace {

using ::testing::Contains;
using testing::Bytes;
using testing::EncodeBase64;
using testing::MakeBlob;

// HEIGHT = 480 and WIDTH = 640, in that order.
constexpr const char* kReferenceBlobText = "KAAAAAIArgBVOkZ9BgBIRUlHSFQDADQ4MAAFAFdJRFRIAAMANjQwAA==";
const Bytes kReferenceBlobBytes = {0x28, 0x00, 0x00, 0x00, 0x02, 0x00, 0xAE, 0x00, 0x55, 0x3A, 0x46, 0x7D,
                                   0x06, 0x00, 0x48, 0x45, 0x49, 0x47, 0x48, 0x54, 0x03, 0x00, 0x34, 0x38,
                                   0x30, 0x00, 0x05, 0x00, 0x57, 0x49, 0x44, 0x54, 0x48, 0x00, 0x03, 0x00,
                                   0x36, 0x34, 0x30, 0x00};

std::string ValueOf(CartState& state, const char* key) {
    char out[64];
    if (state.GetValue(key, out, sizeof out) != 0) return "<missing>";
    return std::string(TextInBuffer(out));
}

Bytes Copy(CartState& state) {
    uint8_t* block = nullptr;
    uint32_t length = 0;
    EXPECT_EQ(state.get_TotalLength(&length), 0u);
    EXPECT_EQ(state.CopyCartState(&block), 0u);
    Bytes bytes(block, block + length);
    platform::HeapRelease(block);
    return bytes;
}

TEST(CartState, LoadsTheReferenceBlobAndCopiesItBackByteForByte) {
    EXPECT_EQ(EncodeBase64(kReferenceBlobBytes), kReferenceBlobText);
    CartState state;
    ASSERT_EQ(state.SetCartState(kReferenceBlobText), 0u);
    EXPECT_TRUE(state.IsValid());
    EXPECT_EQ(ValueOf(state, "WIDTH"), "640");
    EXPECT_EQ(ValueOf(state, "HEIGHT"), "480");
    EXPECT_EQ(ValueOf(state, "DEPTH"), "<missing>");
    EXPECT_EQ(Copy(state), kReferenceBlobBytes);
}

TEST(CartState, RefusesTextsThatAreNullOrTooShort) {
    CartState state;
    ASSERT_EQ(state.SetCartState(kReferenceBlobText), 0u);
    testing::TraceCapture capture;
    EXPECT_EQ(state.SetCartState(nullptr), ZUN_E_INVALID_ARG);
    EXPECT_EQ(state.SetCartState("KAAAAAIArgB"), ZUN_E_INVALID_ARG);  // 11 characters
    EXPECT_THAT(capture.Messages(), Contains("ZUN: CartState::SetCartState(): blob was NULL."));
    EXPECT_THAT(capture.Messages(), Contains("ZUN: CartState::SetCartState(): blob was too small."));
    // The object keeps what it held.
    EXPECT_TRUE(state.IsValid());
    EXPECT_EQ(ValueOf(state, "WIDTH"), "640");
}

TEST(CartState, RefusesBlobsWithAWrongSanityByteOrChecksum) {
    Bytes changedValue = kReferenceBlobBytes;
    changedValue[22] = '5';  // HEIGHT 580
    Bytes changedSanity = kReferenceBlobBytes;
    changedSanity[6] = 0xAF;
    for (const Bytes& bytes : {changedValue, changedSanity}) {
        CartState state;
        EXPECT_EQ(state.SetCartState(EncodeBase64(bytes).c_str()), ZUN_E_INVALID_CARTSTATE);
        EXPECT_FALSE(state.IsValid());
    }

    CartState state;
    testing::TraceCapture capture;
    EXPECT_EQ(state.SetCartState("AAAAAAAAAAAAAAAA"), ZUN_E_INVALID_CARTSTATE);
    EXPECT_THAT(capture.Messages(), Contains("ZUN: CartState::IsValid(): Not Valid - sanity is 0"));
    EXPECT_THAT(capture.Messages(),
                Contains("ZUN_E: CartState::SetCartState(): CartState is not valid, or possibly no CartState found."));
}

TEST(CartState, ATextBrokenByAForeignCharacterDecodesOnlyUpToIt) {
    std::string text = kReferenceBlobText;
    text.insert(40, "\n");
    CartState state;
    EXPECT_EQ(state.SetCartState(text.c_str()), ZUN_E_INVALID_CARTSTATE);
    // Bytes 0..29 decoded, zeros behind them: WIDTH's entry is gone.
    uint8_t* copy = nullptr;
    EXPECT_EQ(state.CopyCartState(&copy), 0u);
    EXPECT_EQ(std::memcmp(copy, kReferenceBlobBytes.data(), 30), 0);
    EXPECT_EQ(copy[30], 0);
    platform::HeapRelease(copy);
}

TEST(CartState, LookupMatchesTheFirstKeyThatBeginsWithTheSearchedKey) {
    CartState state;
    const Bytes blob = MakeBlob({{"", "empty key"}, {"HEIGHTMAX", "900"}, {"HEIGHT", "480"}, {"W", "1"}});
    ASSERT_EQ(state.SetCartState(EncodeBase64(blob).c_str()), 0u);
    EXPECT_EQ(ValueOf(state, "HEIGHT"), "900");
    EXPECT_EQ(ValueOf(state, "WIDTH"), "<missing>");  // shorter keys never match
    uint32_t position = 0, length = 0;
    char out[8];
    ASSERT_EQ(state.GetValue("HEIGHTM", out, sizeof out, &position, &length), 0u);
    EXPECT_EQ(position, 12u + 4 + 10);  // after the entry with the empty key
    EXPECT_EQ(length, 4u + 10 + 4u);
}

TEST(CartState, AValueFillingTheOutputLeavesItUnterminatedAndReadersStayInside) {
    CartState state;
    ASSERT_EQ(state.SetCartState(EncodeBase64(MakeBlob({{"UPDATEAVAILABLE", "TrueTrue"}, {"K", "abc"}})).c_str()),
              0u);
    char out[9];
    std::memset(out, 'z', sizeof out);
    ASSERT_EQ(state.GetValue("UPDATEAVAILABLE", out, 8), 0u);
    EXPECT_EQ(std::memcmp(out, "TrueTrue", 8), 0);
    EXPECT_EQ(out[8], 'z');  // nothing written past outSize
    EXPECT_EQ(TextInBuffer(out, 8), "TrueTrue");

    ASSERT_EQ(state.GetValue("K", out, 2), 0u);
    EXPECT_EQ(TextInBuffer(out, 2), "ab");

    // The trace gives the found value's length, bounded by the output size,
    // never the value.
    testing::TraceCapture capture;
    ASSERT_EQ(state.GetValue("UPDATEAVAILABLE", out, 4), 0u);
    EXPECT_THAT(capture.Messages(),
                Contains("ZUN: Epilog CartState::get_GetValueFromBuffer(): Object Found (4 bytes)"));
}

TEST(CartState, GetValueFromBufferStaysInsideBrokenBlobs) {
    const Bytes good = MakeBlob({{"AA", "1"}, {"BB", "22"}});
    char out[16];
    // Every cut of a good blob: entries that run past the given length are not there.
    for (uint32_t length = 0; length <= good.size(); ++length) {
        const Bytes cut(good.begin(), good.begin() + length);
        const Status status = CartState::GetValueFromBuffer(cut.data(), length, "BB", out, sizeof out);
        EXPECT_EQ(status, length == good.size() ? 0u : ZUN_E_NOT_FOUND) << length;
    }
    // Huge key and value lengths.
    Bytes hostile = good;
    hostile[12] = 0xFF;
    hostile[13] = 0xFF;
    EXPECT_EQ(CartState::GetValueFromBuffer(hostile.data(), static_cast<uint32_t>(hostile.size()), "AA", out,
                                            sizeof out),
              ZUN_E_NOT_FOUND);
    EXPECT_STREQ(out, "");
    EXPECT_EQ(CartState::GetValueFromBuffer(nullptr, 100, "AA", out, sizeof out), ZUN_E_NOT_FOUND);
    EXPECT_EQ(CartState::GetValueFromBuffer(good.data(), 40, nullptr, out, sizeof out), ZUN_E_INVALID_ARG);
    EXPECT_EQ(CartState::GetValueFromBuffer(good.data(), 40, "AA", out, 0), ZUN_E_INVALID_ARG);
}

TEST(CartState, AHeaderClaimingMoreBytesThanTheTextHoldsIsNotValid) {
    // Zero bytes added behind the entries change no XOR checksum, so only
    // the decoded length can tell that they were never sent.
    for (uint32_t extra : {2u, 4u, 8u}) {
        Bytes blob(kReferenceBlobBytes);
        blob[0] = static_cast<uint8_t>(blob.size() + extra);
        CartState state;
        EXPECT_EQ(state.SetCartState(EncodeBase64(blob).c_str()), ZUN_E_INVALID_CARTSTATE) << extra;
        blob.resize(blob.size() + extra, 0);
        EXPECT_EQ(state.SetCartState(EncodeBase64(blob).c_str()), 0u) << extra;
    }
    // Text beyond the total length is carried but not counted.
    Bytes longer(kReferenceBlobBytes);
    longer.insert(longer.end(), {'t', 'a', 'i', 'l'});
    CartState state;
    EXPECT_EQ(state.SetCartState(EncodeBase64(longer).c_str()), 0u);
    EXPECT_EQ(ValueOf(state, "WIDTH"), "640");
}

// Each entry as "offset/size/key=value".
std::vector<std::string> Walk(const uint8_t* blob, uint32_t totalLength) {
    std::vector<std::string> seen;
    CartStateEntries entries(blob, totalLength);
    CartStateEntry entry;
    while (entries.Next(entry)) {
        seen.push_back(std::to_string(entry.offset) + "/" + std::to_string(entry.size) + "/" +
                       std::string(reinterpret_cast<const char*>(entry.key), entry.keyLength) + "=" +
                       std::string(reinterpret_cast<const char*>(entry.value), entry.valueLength));
    }
    return seen;
}

TEST(CartState, EntriesWalkInBlobOrderOverTheirPadsAndEndBeforeACutEntry) {
    const Bytes blob = MakeBlob({{"ODD", "12345"}, {"EV", ""}, {"K", "v"}});
    const auto size = static_cast<uint32_t>(blob.size());
    ASSERT_EQ(size, 12u + 14 + 6 + 8);
    EXPECT_THAT(Walk(blob.data(), size), ::testing::ElementsAre("12/14/ODD=12345", "26/6/EV=", "32/8/K=v"));
    // The last entry's pad is part of it: one byte short, and it is not there.
    EXPECT_THAT(Walk(blob.data(), size - 1), ::testing::ElementsAre("12/14/ODD=12345", "26/6/EV="));
    EXPECT_TRUE(Walk(blob.data(), 13).empty());
    EXPECT_TRUE(Walk(blob.data(), CartState::kHeaderSize - 1).empty());
    EXPECT_TRUE(Walk(nullptr, size).empty());
}

TEST(CartState, AHeaderLengthOutsideTheBufferIsNotValidAndHoldsNoEntries) {
    for (uint32_t total : {0u, 11u, 100000u}) {
        Bytes blob = MakeBlob({{"AA", "1"}});
        for (int i = 0; i < 4; ++i) blob[i] = static_cast<uint8_t>(total >> (8 * i));
        CartState state;
        EXPECT_EQ(state.SetCartState(EncodeBase64(blob).c_str()), ZUN_E_INVALID_CARTSTATE) << total;
        EXPECT_EQ(ValueOf(state, "AA"), "<missing>") << total;
        uint32_t checksum = 0;
        EXPECT_FALSE(state.CalculateChecksum(&checksum));
        uint8_t* copy = nullptr;
        EXPECT_EQ(state.CopyCartState(&copy), ZUN_E_INVALID_CARTSTATE);
        EXPECT_EQ(copy, nullptr);
    }
}

TEST(CartState, SetValueBlanksTheOldEntryAppendsAndNeedsANewChecksum) {
    CartState state;
    const Bytes original = MakeBlob({{"PAGENAME", "CART"}, {"_Order.Status", "2"}, {"X", "y"}});
    ASSERT_EQ(state.SetCartState(EncodeBase64(original).c_str()), 0u);

    ASSERT_EQ(state.SetValue("_Order.Status", "1"), 0u);
    EXPECT_FALSE(state.IsValid());
    ASSERT_TRUE(state.UpdateChecksum());
    EXPECT_EQ(ValueOf(state, "_Order.Status"), "1");
    EXPECT_EQ(ValueOf(state, "PAGENAME"), "CART");

    const Bytes copy = Copy(state);
    ASSERT_EQ(copy.size(), original.size() + 4 + 14 + 2);
    EXPECT_EQ(copy[4], 4);     // entry count 3 + 1
    EXPECT_EQ(copy[6], 0xAE);
    // The old entry keeps its lengths with zero bytes; the new one is last.
    const size_t old = 12 + 2 + 8 + 2 + 4;
    EXPECT_EQ(copy[old], 13);
    EXPECT_TRUE(std::all_of(copy.begin() + old + 2, copy.begin() + old + 16, [](uint8_t b) { return b == 0; }));
    EXPECT_EQ(copy[old + 16], 1);
    EXPECT_EQ(copy[old + 18], 0);
    const Bytes tail(copy.end() - 20, copy.end());
    const Bytes expectedTail = {13, 0, '_', 'O', 'r', 'd', 'e', 'r', '.', 'S', 't', 'a', 't', 'u', 's', 0, 1, 0, '1', 0};
    EXPECT_EQ(tail, expectedTail);
    // The copy loads again as the same state.
    CartState reloaded;
    ASSERT_EQ(reloaded.SetCartState(EncodeBase64(copy).c_str()), 0u);
    EXPECT_EQ(ValueOf(reloaded, "_Order.Status"), "1");
}

TEST(CartState, SetValueOnAnEmptyObjectStartsAFreshBlob) {
    CartState state;
    ASSERT_EQ(state.SetValue("WIDTH", "640"), 0u);
    ASSERT_EQ(state.SetValue("HEIGHT", ""), 0u);
    ASSERT_TRUE(state.UpdateChecksum());
    EXPECT_EQ(Copy(state), MakeBlob({{"WIDTH", "640"}, {"HEIGHT", ""}}));
}

TEST(CartState, SetValueRefusesWhatTheBlobCannotHold) {
    CartState state;
    ASSERT_EQ(state.SetCartState(kReferenceBlobText), 0u);
    const std::string tooLong(65536, 'v');
    EXPECT_EQ(state.SetValue("K", tooLong.c_str()), ZUN_E_INVALID_ARG);
    EXPECT_EQ(state.SetValue(tooLong.c_str(), "v"), ZUN_E_INVALID_ARG);
    EXPECT_EQ(state.SetValue(nullptr, "v"), ZUN_E_INVALID_ARG);
    EXPECT_TRUE(state.IsValid());
    EXPECT_EQ(Copy(state), kReferenceBlobBytes);

    const std::string longest(65535, 'v');
    ASSERT_EQ(state.SetValue("BIG", longest.c_str()), 0u);
    ASSERT_TRUE(state.UpdateChecksum());
    uint32_t length = 0;
    state.get_TotalLength(&length);
    EXPECT_EQ(length, 40u + 4 + 4 + 65536);
}

TEST(CartState, AllocationFailuresLeaveTheObjectAsItWas) {
    CartState state;
    ASSERT_EQ(state.SetCartState(kReferenceBlobText), 0u);

    // Growing for a text longer than the buffer.
    const std::string longText = EncodeBase64(MakeBlob({{"K", std::string(4000, 'v')}}));
    heap::FailNextAllocations(1);
    EXPECT_EQ(state.SetCartState(longText.c_str()), ZUN_E_OUT_OF_MEMORY);
    EXPECT_TRUE(state.IsValid());
    EXPECT_EQ(ValueOf(state, "WIDTH"), "640");

    // Resizing in SetValue: a matching entry is already blanked, nothing appended.
    heap::FailNextAllocations(1);
    EXPECT_EQ(state.SetValue("DEPTH", "24"), ZUN_E_BLOB_RESIZE);
    EXPECT_EQ(Copy(state), kReferenceBlobBytes);

    heap::FailNextAllocations(1);
    uint8_t* copy = nullptr;
    EXPECT_EQ(state.CopyCartState(&copy), ZUN_E_OUT_OF_MEMORY);
    EXPECT_EQ(copy, nullptr);

    heap::FailNextAllocations(1);
    CartState starved;
    EXPECT_FALSE(starved.IsValid());
    EXPECT_EQ(ValueOf(starved, "WIDTH"), "<missing>");
    EXPECT_EQ(starved.SetCartState(kReferenceBlobText), 0u);  // allocates what it needs
    EXPECT_EQ(ValueOf(starved, "WIDTH"), "640");
}

TEST(CartState, TotalLengthAndCopyNeedAnOutPointer) {
    CartState state;
    testing::TraceCapture capture;
    EXPECT_EQ(state.get_TotalLength(nullptr), ZUN_E_INVALID_ARG);
    EXPECT_THAT(capture.Messages(), Contains("ZUN: CartState::GetTotalLength(): len was NULL."));
    ASSERT_EQ(state.SetCartState(kReferenceBlobText), 0u);
    EXPECT_EQ(state.CopyCartState(nullptr), ZUN_E_INVALID_ARG);
    uint32_t checksum = 0;
    EXPECT_FALSE(state.CalculateChecksum(nullptr));
    EXPECT_TRUE(state.CalculateChecksum(&checksum));
    EXPECT_EQ(checksum, 0x7D463A55u);
}

}  // namespace
}  // namespace zun
