#include "base/trace.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "trace_capture.h"

namespace zun {
namespace {

using ::testing::ElementsAre;
using ::testing::EndsWith;
using ::testing::StartsWith;

TEST(Trace, LinesCarryTheSourceFileAndLineAndEndWithANewline) {
    testing::TraceCapture capture;
    const int line = __LINE__ + 1;
    ZUN_TRACE("ZUN: Prolog Test::Method(%d)", 7);
    const auto lines = capture.Lines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], "tests/trace_test.cpp(" + std::to_string(line) + "): ZUN: Prolog Test::Method(7)\n");
    EXPECT_THAT(capture.Messages(), ElementsAre("ZUN: Prolog Test::Method(7)"));
}

TEST(Trace, ALongLineIsCutNotOverflowed) {
    testing::TraceCapture capture;
    const std::string huge(10000, 'x');
    ZUN_TRACE("ZUN: %s", huge.c_str());
    const auto lines = capture.Lines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].size(), trace::kMaxLineSize - 1);
    EXPECT_THAT(lines[0], StartsWith("tests/trace_test.cpp("));
    EXPECT_THAT(lines[0], EndsWith("xx\n"));
}

}  // namespace
}  // namespace zun
