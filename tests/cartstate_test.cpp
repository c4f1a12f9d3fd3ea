// What a CartState holds and hands back. How broken blobs are walked without
// leaving the buffer is the fuzz targets' job (fuzz/corpus holds the cases).
#include "state/cartstate.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "base/bounded_text.h"
#include "base/engine_heap.h"
#include "blob_text.h"
#include "platform/process_heap.h"
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
    if (state.CopyCartState(&block) != 0) return {};
    Bytes bytes(block, block + length);
    platform::HeapRelease(block);
    return bytes;
}

TEST(CartState, LoadsTheReferenceBlobAndCopiesItBackByteForByte) {
    EXPECT_EQ(EncodeBase64(kReferenceBlobBytes), kReferenceBlobText);
    CartState state;
    ASSERT_EQ(state.SetCartState(kReferenceBlobText), 0u);
    EXPECT_EQ(ValueOf(state, "WIDTH"), "640");
    EXPECT_EQ(ValueOf(state, "HEIGHT"), "480");
    EXPECT_EQ(ValueOf(state, "DEPTH"), "<missing>");
    EXPECT_EQ(Copy(state), kReferenceBlobBytes);
}

TEST(CartState, ABrokenTextIsRefusedAndNeverReadAsValues) {
    const auto changed = [](size_t at, uint8_t byte, size_t extra = 0) {
        Bytes bytes = kReferenceBlobBytes;
        bytes[at] = byte;
        bytes.resize(bytes.size() + extra, 0);
        return EncodeBase64(bytes);
    };
    std::string lineBreak = kReferenceBlobText;
    lineBreak.insert(40, "\n");
    // holdsNothing: a length outside the decoded bytes leaves nothing to read.
    const struct {
        std::string text;
        Status expected;
        bool holdsNothing;
    } cases[] = {
        {"KAAAAAIArgB", ZUN_E_INVALID_ARG, true},  // shorter than a header
        {changed(22, '5'), ZUN_E_INVALID_CARTSTATE, false},  // a value changed: the checksum fails
        {changed(6, 0xAF), ZUN_E_INVALID_CARTSTATE, false},  // the sanity byte
        {lineBreak, ZUN_E_INVALID_CARTSTATE, false},  // decoded only up to the foreign character
        {changed(0, 0), ZUN_E_INVALID_CARTSTATE, true},
        {changed(2, 0x01), ZUN_E_INVALID_CARTSTATE, true},  // 65576 bytes claimed
    };
    for (const auto& each : cases) {
        CartState state;
        EXPECT_EQ(state.SetCartState(each.text.c_str()), each.expected) << each.text;
        EXPECT_FALSE(state.IsValid()) << each.text;
        if (each.holdsNothing) {
            EXPECT_EQ(ValueOf(state, "HEIGHT"), "<missing>") << each.text;
            EXPECT_EQ(Copy(state), Bytes{}) << each.text;
        }
    }
    // Zero bytes behind the entries change no XOR checksum: only the decoded
    // length tells that they were never sent.
    CartState longer;
    EXPECT_EQ(longer.SetCartState(changed(0, 0x28 + 4).c_str()), ZUN_E_INVALID_CARTSTATE);
    EXPECT_FALSE(longer.IsValid());
    EXPECT_EQ(longer.SetCartState(changed(0, 0x28 + 4, 4).c_str()), 0u);

    // A refused text leaves the object as it was.
    CartState state;
    ASSERT_EQ(state.SetCartState(kReferenceBlobText), 0u);
    EXPECT_EQ(state.SetCartState(nullptr), ZUN_E_INVALID_ARG);
    EXPECT_EQ(state.SetCartState("KAAAAAIArgB"), ZUN_E_INVALID_ARG);
    EXPECT_EQ(ValueOf(state, "WIDTH"), "640");
}

TEST(CartState, LookupTakesTheFirstKeyThatBeginsWithTheKeyAndTracesNoValue) {
    CartState state;
    const Bytes blob = MakeBlob({{"", "empty key"}, {"HEIGHTMAX", "900"}, {"HEIGHT", "480"}, {"K", "TrueTrue"}});
    ASSERT_EQ(state.SetCartState(EncodeBase64(blob).c_str()), 0u);
    EXPECT_EQ(ValueOf(state, "HEIGHT"), "900");
    EXPECT_EQ(ValueOf(state, "HEIGHTMAXIMUM"), "<missing>");  // shorter keys never match
    uint32_t position = 0, length = 0;
    char out[9];
    ASSERT_EQ(state.GetValue("HEIGHTM", out, sizeof out, &position, &length), 0u);
    EXPECT_EQ(position, 12u + 4 + 10);  // after the entry with the empty key
    EXPECT_EQ(length, 4u + 10 + 4u);

    // A value that fills the output is left unterminated, nothing behind it
    // written; the trace gives its length, never the value.
    std::fill(std::begin(out), std::end(out), 'z');
    testing::TraceCapture capture;
    ASSERT_EQ(state.GetValue("K", out, 4), 0u);
    EXPECT_EQ(std::string(out, 5), "Truez");
    EXPECT_THAT(capture.Messages(),
                Contains("ZUN: Epilog CartState::get_GetValueFromBuffer(): Object Found (4 bytes)"));
}

TEST(CartState, SetValueBlanksTheOldEntryAppendsAndTheCopyLoadsAgain) {
    CartState state;
    const Bytes original = MakeBlob({{"PAGENAME", "CART"}, {"_Order.Status", "2"}, {"X", "y"}});
    ASSERT_EQ(state.SetCartState(EncodeBase64(original).c_str()), 0u);
    ASSERT_EQ(state.SetValue("_Order.Status", "1"), 0u);
    EXPECT_FALSE(state.IsValid());  // until the checksum is updated
    ASSERT_TRUE(state.UpdateChecksum());

    // The old entry keeps its lengths with zero bytes; the new one is last.
    const Bytes copy = Copy(state);
    EXPECT_EQ(copy, MakeBlob({{"PAGENAME", "CART"}, {std::string(13, '\0'), std::string(1, '\0')}, {"X", "y"},
                              {"_Order.Status", "1"}}));
    CartState reloaded;
    ASSERT_EQ(reloaded.SetCartState(EncodeBase64(copy).c_str()), 0u);
    EXPECT_EQ(ValueOf(reloaded, "_Order.Status"), "1");
    EXPECT_EQ(ValueOf(reloaded, "PAGENAME"), "CART");

    // An empty object starts a fresh blob; what a blob cannot hold is refused.
    CartState fresh;
    ASSERT_EQ(fresh.SetValue("WIDTH", "640"), 0u);
    ASSERT_EQ(fresh.SetValue("HEIGHT", ""), 0u);
    ASSERT_TRUE(fresh.UpdateChecksum());
    EXPECT_EQ(Copy(fresh), MakeBlob({{"WIDTH", "640"}, {"HEIGHT", ""}}));
    const std::string longest(65535, 'v');
    EXPECT_EQ(fresh.SetValue("K", (longest + "v").c_str()), ZUN_E_INVALID_ARG);
    EXPECT_EQ(fresh.SetValue((longest + "v").c_str(), "v"), ZUN_E_INVALID_ARG);
    EXPECT_EQ(fresh.SetValue(nullptr, "v"), ZUN_E_INVALID_ARG);
    EXPECT_EQ(fresh.SetValue("BIG", longest.c_str()), 0u);
}

TEST(CartState, AllocationFailuresLeaveTheObjectAsItWas) {
    CartState state;
    ASSERT_EQ(state.SetCartState(kReferenceBlobText), 0u);
    // Growing for a text longer than the buffer.
    const std::string longText = EncodeBase64(MakeBlob({{"K", std::string(4000, 'v')}}));
    heap::FailNextAllocations(1);
    EXPECT_EQ(state.SetCartState(longText.c_str()), ZUN_E_OUT_OF_MEMORY);
    EXPECT_EQ(ValueOf(state, "WIDTH"), "640");
    // Resizing in SetValue: a matching entry is already blanked, nothing appended.
    heap::FailNextAllocations(1);
    EXPECT_EQ(state.SetValue("DEPTH", "24"), ZUN_E_BLOB_RESIZE);
    EXPECT_EQ(Copy(state), kReferenceBlobBytes);
    heap::FailNextAllocations(1);
    uint8_t* copy = nullptr;
    EXPECT_EQ(state.CopyCartState(&copy), ZUN_E_OUT_OF_MEMORY);
    EXPECT_EQ(copy, nullptr);
}

}  // namespace
}  // namespace zun
