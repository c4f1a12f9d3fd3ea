#include "state/base64.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace zun {
namespace {

TEST(DecodeBase64, DecodesEveryByteValueAndEveryPaddingLength) {
    std::vector<uint8_t> all;
    for (int i = 0; i < 256; ++i) all.push_back(static_cast<uint8_t>(i));
    for (size_t length : {0u, 1u, 2u, 3u, 4u, 5u, 255u, 256u}) {
        const std::string text = EncodeBase64(all.data(), length);
        std::vector<uint8_t> out(300, 0);
        size_t count = 0;
        EXPECT_EQ(DecodeBase64(text.c_str(), out.data(), out.size(), &count), length);
        EXPECT_EQ(count, length);
        EXPECT_TRUE(std::equal(all.begin(), all.begin() + length, out.begin())) << length;
    }
    EXPECT_EQ(EncodeBase64(reinterpret_cast<const uint8_t*>("Ma"), 2), "TWE=");
}

// The bytes decoded, "|", and the result.
std::string Decoded(const char* text, size_t limit) {
    std::vector<uint8_t> out(limit + 8, '.');
    const size_t result = DecodeBase64(text, out.data(), limit, nullptr);
    return std::string(out.begin(), out.begin() + limit + 1) + "|" + std::to_string(result);
}

TEST(DecodeBase64, EndsAtTheTextsEndAnEqualsSignAForeignCharacterOrTheLimit) {
    EXPECT_EQ(Decoded("TWFu", 4), "Man..|3");
    // "TWE" holds 18 bits: two bytes, two bits dropped; nothing after "=" is read.
    EXPECT_EQ(Decoded("TWE=!!!!", 4), "Ma...|2");
    EXPECT_EQ(Decoded("", 4), ".....|0");
    // A foreign character fails, keeping the bytes before it.
    for (const char* text : {"TWFuTW\nFu", "TWFuTW Fu", "TWFuTW-Fu", "TWFuTW\x80" "Fu"}) {
        EXPECT_EQ(Decoded(text, 10), "ManM.......|0") << text;
    }
    // A text longer than the limit fails, counting the byte that did not fit.
    std::vector<uint8_t> out(8, '.');
    size_t count = 0;
    EXPECT_EQ(DecodeBase64("TWFuTWFu", out.data(), 4, &count), 0u);
    EXPECT_EQ(count, 5u);
    EXPECT_EQ(std::string(out.begin(), out.begin() + 5), "ManM.");
    EXPECT_EQ(DecodeBase64("TWFu", nullptr, 0, nullptr), 0u);
    EXPECT_EQ(DecodeBase64(nullptr, out.data(), 8, nullptr), 0u);
}

}  // namespace
}  // namespace zun
