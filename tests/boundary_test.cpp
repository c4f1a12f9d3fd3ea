#include "base/boundary.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <new>
#include <stdexcept>

#include "trace_capture.h"

namespace zun {
namespace {

using ::testing::Contains;
using ::testing::HasSubstr;

Status Guarded(int kind) {
    try {
        if (kind == 1) throw std::runtime_error("broken page");
        if (kind == 2) throw std::bad_alloc();
        if (kind == 3) throw 42;
        return 7;
    }
    ZUN_CATCH_RETURN()
}

int GuardedValue() {
    try {
        throw std::logic_error("no");
    }
    ZUN_CATCH_RETURN_VALUE(-5)
}

TEST(Boundary, WhateverIsThrownBecomesAStatusWithATraceLine) {
    testing::TraceCapture trace;
    EXPECT_EQ(Guarded(0), 7u);
    EXPECT_EQ(Guarded(1), ZUN_E_UNEXPECTED);
    EXPECT_EQ(Guarded(2), ZUN_E_OUT_OF_MEMORY);
    EXPECT_EQ(Guarded(3), ZUN_E_UNEXPECTED);
    EXPECT_EQ(GuardedValue(), -5);
    const auto messages = trace.Messages();
    EXPECT_THAT(messages, Contains("ZUN_E: Guarded(): stopped an exception: broken page: Failure 2147549183"));
    EXPECT_THAT(messages, Contains(HasSubstr("Guarded(): stopped an exception: out of memory")));
    EXPECT_THAT(messages, Contains(HasSubstr("Guarded(): stopped an exception: unknown exception")));
    EXPECT_THAT(messages, Contains(HasSubstr("GuardedValue(): stopped an exception: no")));
}

}  // namespace
}  // namespace zun
