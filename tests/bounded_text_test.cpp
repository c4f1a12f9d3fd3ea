#include "base/bounded_text.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace zun {
namespace {

TEST(BoundedText, CopyFitsOrCutsAndAlwaysTerminates) {
    char buffer[6];
    EXPECT_EQ(CopyText(buffer, "abcde"), 0u);
    EXPECT_STREQ(buffer, "abcde");
    EXPECT_EQ(CopyText(buffer, "abcdef"), ZUN_E_TEXT_TRUNCATED);
    EXPECT_STREQ(buffer, "abcde");
    EXPECT_EQ(CopyText(buffer, sizeof buffer, std::string_view("xy\0z", 4)), 0u);
    EXPECT_EQ(std::memcmp(buffer, "xy\0z", 5), 0);
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
}

TEST(BoundedText, AppendKeepsWhatIsThereAndCutsTheRest) {
    char buffer[8] = "abc";
    EXPECT_EQ(AppendText(buffer, "de"), 0u);
    EXPECT_STREQ(buffer, "abcde");
    EXPECT_EQ(AppendText(buffer, "fghij"), ZUN_E_TEXT_TRUNCATED);
    EXPECT_STREQ(buffer, "abcdefg");
    EXPECT_EQ(AppendText(buffer, "x"), ZUN_E_TEXT_TRUNCATED);
    EXPECT_STREQ(buffer, "abcdefg");

    char unterminated[4] = {'a', 'b', 'c', 'd'};
    EXPECT_EQ(AppendText(unterminated, "x"), ZUN_E_BAD_TEXT_ARGUMENT);
    EXPECT_EQ(unterminated[3], '\0');
}

TEST(BoundedText, FormatReportsACutAndKeepsTheCutText) {
    char buffer[8];
    EXPECT_EQ(FormatText(buffer, sizeof buffer, "%u.%u", 12u, 34u), 0u);
    EXPECT_STREQ(buffer, "12.34");
    EXPECT_EQ(FormatText(buffer, sizeof buffer, "%s-%d", "abcdef", 99), ZUN_E_TEXT_TRUNCATED);
    EXPECT_STREQ(buffer, "abcdef-");
    EXPECT_EQ(FormatText(buffer, sizeof buffer, "%s", "1234567"), 0u);
}

TEST(BoundedText, TextInBufferNeverReadsPastTheBuffer) {
    const char full[4] = {'T', 'r', 'u', 'e'};
    EXPECT_EQ(TextInBuffer(full), "True");
    const char shorter[8] = "no";
    EXPECT_EQ(TextInBuffer(shorter), "no");
    EXPECT_EQ(TextInBuffer(nullptr, 5), "");
}

}  // namespace
}  // namespace zun
