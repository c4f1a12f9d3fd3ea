#include "base/trace.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "trace_capture.h"

namespace zun {
namespace {

using ::testing::EndsWith;

// A line names where it was traced from; one longer than a trace line may be
// is cut, never overflowed, and still ends with a newline.
TEST(Trace, LinesNameTheirSourceLineAndALongLineIsCut) {
    testing::TraceCapture capture;
    const int line = __LINE__ + 1;
    ZUN_TRACE("ZUN: Prolog Test::Method(%d)", 7);
    ZUN_TRACE("ZUN: %s", std::string(10000, 'x').c_str());
    const auto lines = capture.Lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_THAT(lines[0], EndsWith("trace_test.cpp(" + std::to_string(line) + "): ZUN: Prolog Test::Method(7)\n"));
    EXPECT_EQ(lines[1].size(), trace::kMaxLineSize - 1);
    EXPECT_THAT(lines[1], EndsWith("xx\n"));
}

}  // namespace
}  // namespace zun
