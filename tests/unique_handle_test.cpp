#include "base/unique_handle.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace zun {
namespace {

std::vector<int> closed;

void RecordClose(int handle) { closed.push_back(handle); }

using Owner = UniqueHandle<int, &RecordClose, -1>;

TEST(UniqueHandle, EveryHandleIsClosedOnceAndNoneThatWasGivenUp) {
    closed.clear();
    {
        Owner first(3);
        *first.Out() = 4;  // an out parameter replaces what was held
        Owner second(std::move(first));
        EXPECT_FALSE(first);
        EXPECT_EQ(second.Get(), 4);
        Owner third(5);
        EXPECT_EQ(third.Release(), 5);
        EXPECT_FALSE(third);
        third.Reset(6);
        second = std::move(third);
        EXPECT_EQ(second.Get(), 6);
        Owner none;
        none.Reset();
    }
    EXPECT_EQ(closed, (std::vector<int>{3, 4, 6}));
}

}  // namespace
}  // namespace zun
