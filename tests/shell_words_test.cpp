#include "platform/posix/shell_words.h"

#include <gtest/gtest.h>

namespace zun {
namespace {

using platform::posix::SplitShellWords;
using Words = std::vector<std::string>;

Words Split(const std::string& text) {
    Words words{"left over"};
    EXPECT_TRUE(SplitShellWords(text, &words)) << text;
    return words;
}

TEST(ShellWords, QuotesAndBackslashesKeepBlanksInOneWord) {
    EXPECT_EQ(Split(""), Words{});
    EXPECT_EQ(Split(" \t\n "), Words{});
    EXPECT_EQ(Split("  --a   --b=1\t--c "), (Words{"--a", "--b=1", "--c"}));
    EXPECT_EQ(Split("--spki=AbC --host-resolver-rules=\"MAP secure.orvella.com:443 127.0.0.1:8443\""),
              (Words{"--spki=AbC", "--host-resolver-rules=MAP secure.orvella.com:443 127.0.0.1:8443"}));
    EXPECT_EQ(Split("'a \"b\" \\c' d"), (Words{"a \"b\" \\c", "d"}));
    EXPECT_EQ(Split("\"a \\\"b\\\" \\\\ \\c \\$\""), (Words{"a \"b\" \\ \\c $"}));
    EXPECT_EQ(Split("a\\ b c\\\\d"), (Words{"a b", "c\\d"}));
    EXPECT_EQ(Split("x'y z'\"w\" '' \"\""), (Words{"xy zw", "", ""}));
}

TEST(ShellWords, AnOpenQuoteOrTrailingBackslashIsRefused) {
    for (const char* text : {"'open", "--rules=\"MAP a b", "ends\\", "\"a\\\""}) {
        Words words{"left over"};
        EXPECT_FALSE(SplitShellWords(text, &words)) << text;
        EXPECT_TRUE(words.empty()) << text;
    }
}

}  // namespace
}  // namespace zun
