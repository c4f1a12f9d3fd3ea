#include "state/base64.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "blob_text.h"

namespace zun {
namespace {

std::vector<uint8_t> Decode(const char* text, size_t limit, size_t* result) {
    std::vector<uint8_t> out(limit + 8, 0xCC);
    *result = DecodeBase64(text, out.data(), limit, nullptr);
    return out;
}

TEST(DecodeBase64, DecodesEveryByteValueAndEveryPaddingLength) {
    testing::Bytes all;
    for (int i = 0; i < 256; ++i) all.push_back(static_cast<uint8_t>(i));
    for (size_t length : {0u, 1u, 2u, 3u, 4u, 5u, 255u, 256u}) {
        const testing::Bytes input(all.begin(), all.begin() + length);
        const std::string text = testing::EncodeBase64(input);
        std::vector<uint8_t> out(300, 0);
        size_t count = 0;
        EXPECT_EQ(DecodeBase64(text.c_str(), out.data(), out.size(), &count), length);
        EXPECT_EQ(count, length);
        EXPECT_TRUE(std::equal(input.begin(), input.end(), out.begin())) << length;
    }
}

TEST(DecodeBase64, EndsAtTerminatorOrEqualsDroppingLeftoverBits) {
    size_t result = 0;
    auto out = Decode("TWFu", 10, &result);
    EXPECT_EQ(result, 3u);
    EXPECT_EQ(std::string(out.begin(), out.begin() + 3), "Man");
    // "TWE" holds 18 bits: two bytes, two bits dropped; the text after "=" is not read.
    out = Decode("TWE=!!!!", 10, &result);
    EXPECT_EQ(result, 2u);
    out = Decode("", 10, &result);
    EXPECT_EQ(result, 0u);
}

TEST(DecodeBase64, AForeignCharacterFailsAndKeepsTheBytesBeforeIt) {
    size_t result = 0;
    for (const char* text : {"TWFuTW\nFu", "TWFuTW Fu", "TWFuTW-Fu", "TWFuTW\x80" "Fu"}) {
        auto out = Decode(text, 10, &result);
        EXPECT_EQ(result, 0u) << text;
        EXPECT_EQ(std::string(out.begin(), out.begin() + 4), std::string("ManM")) << text;
        EXPECT_EQ(out[4], 0xCC) << text;
    }
}

TEST(DecodeBase64, StopsAtTheOutputLimitCountingTheByteThatDidNotFit) {
    std::vector<uint8_t> out(8, 0xCC);
    size_t count = 0;
    EXPECT_EQ(DecodeBase64("TWFuTWFu", out.data(), 4, &count), 0u);
    EXPECT_EQ(count, 5u);
    EXPECT_EQ(std::string(out.begin(), out.begin() + 4), "ManM");
    EXPECT_EQ(out[4], 0xCC);
    EXPECT_EQ(DecodeBase64("TWFu", out.data(), 3, nullptr), 3u);
    EXPECT_EQ(DecodeBase64("TWFu", nullptr, 0, nullptr), 0u);
    EXPECT_EQ(DecodeBase64(nullptr, out.data(), 8, nullptr), 0u);
}

}  // namespace
}  // namespace zun
