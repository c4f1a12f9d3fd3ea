#include "base/bounded_text.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace zun {
namespace {

TEST(BoundedText, CopyAppendAndFormatFitOrCutAndAlwaysTerminate) {
    char buffer[6];
    EXPECT_EQ(CopyText(buffer, "abcde"), 0u);
    EXPECT_EQ(CopyText(buffer, "abcdef"), ZUN_E_TEXT_TRUNCATED);
    EXPECT_STREQ(buffer, "abcde");
    EXPECT_EQ(CopyText(buffer, sizeof buffer, std::string_view("xy\0z", 4)), 0u);
    EXPECT_EQ(std::memcmp(buffer, "xy\0z", 5), 0);

    char text[8] = "abc";
    EXPECT_EQ(AppendText(text, "de"), 0u);
    EXPECT_EQ(AppendText(text, "fghij"), ZUN_E_TEXT_TRUNCATED);
    EXPECT_STREQ(text, "abcdefg");
    EXPECT_EQ(AppendText(text, "x"), ZUN_E_TEXT_TRUNCATED);
    EXPECT_STREQ(text, "abcdefg");

    EXPECT_EQ(FormatText(text, sizeof text, "%u.%u", 12u, 34u), 0u);
    EXPECT_STREQ(text, "12.34");
    EXPECT_EQ(FormatText(text, sizeof text, "%s-%d", "abcdef", 99), ZUN_E_TEXT_TRUNCATED);
    EXPECT_STREQ(text, "abcdef-");
    EXPECT_EQ(FormatText(text, sizeof text, "%s", "1234567"), 0u);

    const char full[4] = {'T', 'r', 'u', 'e'};
    EXPECT_EQ(TextInBuffer(full), "True");
    EXPECT_EQ(TextInBuffer(nullptr, 5), "");
}

TEST(BoundedText, RejectsUnusableArguments) {
    char buffer[4] = "old";
    EXPECT_EQ(CopyText(buffer, 0, "x"), ZUN_E_BAD_TEXT_ARGUMENT);
    EXPECT_STREQ(buffer, "old");  // no room even for a terminator: untouched
    EXPECT_EQ(CopyText(nullptr, 4, "x"), ZUN_E_BAD_TEXT_ARGUMENT);
    EXPECT_EQ(CopyText(buffer, kMaxTextBufferSize + 1, "x"), ZUN_E_BAD_TEXT_ARGUMENT);
    EXPECT_EQ(CopyText(buffer, static_cast<const char*>(nullptr)), ZUN_E_BAD_TEXT_ARGUMENT);
    EXPECT_STREQ(buffer, "");
    EXPECT_EQ(FormatText(buffer, sizeof buffer, nullptr), ZUN_E_BAD_TEXT_ARGUMENT);
    char unterminated[4] = {'a', 'b', 'c', 'd'};
    EXPECT_EQ(AppendText(unterminated, "x"), ZUN_E_BAD_TEXT_ARGUMENT);
    EXPECT_EQ(unterminated[3], '\0');
}

}  // namespace
}  // namespace zun
