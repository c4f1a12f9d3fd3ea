#include <signal.h>

#include <gtest/gtest.h>

#include <cstdlib>

#include "browser/browser_environment.h"

namespace zun {
namespace {

using testing::BrowserHarness;

// A dialog whose browser is missing, exits at once or dies reports it and
// ends; nothing waits for a browser that is gone.
TEST(BrowserFailure, MissingOrExitingBrowserEndsTheDialog) {
    for (const char* program : {"/nonexistent/chromium", "/bin/true"}) {
        setenv("ZUN_BROWSER_PATH", program, 1);
        const auto start = std::chrono::steady_clock::now();
        BrowserHarness harness;
        unsetenv("ZUN_BROWSER_PATH");
        EXPECT_NE(harness.CreateStatus(), 0u) << program;
        EXPECT_TRUE(harness.WaitForEnd(std::chrono::seconds(10))) << program;
        EXPECT_EQ(harness.EndCode(), -1);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10)) << program;
    }
}

TEST(BrowserFailure, BrowserThatDiesIsReportedAndEndsTheDialog) {
    BrowserHarness harness;
    ASSERT_EQ(harness.CreateStatus(), 0u);
    ASSERT_TRUE(harness.Open(testing::ThePages().Http("/pages/elements.html")));
    ASSERT_EQ(kill(-harness.Browser().ProcessId(), SIGKILL), 0);
    EXPECT_TRUE(harness.WaitForCount("BrowserFailed", 1, std::chrono::seconds(10)));
    EXPECT_TRUE(harness.WaitForEnd(std::chrono::seconds(10)));
    EXPECT_FALSE(harness.Do([] {}));
}

}  // namespace
}  // namespace zun
