#include "browser/browser_environment.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

namespace zun::testing {
namespace {

std::unique_ptr<LocalStore> gPages;
std::unique_ptr<BrowserHarness> gBrowser;

class BrowserEnvironment final : public ::testing::Environment {
public:
    void SetUp() override {
        gPages = std::make_unique<LocalStore>();
        ASSERT_TRUE(gPages->Ready()) << "the store server did not start";
        setenv("ZUN_BROWSER_HEADLESS", "1", 1);
        // The browser trusts the store server's certificate, and only that one.
        const std::string flags = "--ignore-certificate-errors-spki-list=" + gPages->Pin();
        setenv("ZUN_BROWSER_FLAGS", flags.c_str(), 1);
        gBrowser = std::make_unique<BrowserHarness>();
        ASSERT_EQ(gBrowser->CreateStatus(), 0u) << "the browser did not start";
        EXPECT_TRUE(gBrowser->Browser().IsHeadless());
    }
    void TearDown() override {
        gBrowser.reset();
        gPages.reset();
    }
};

[[maybe_unused]] ::testing::Environment* const gEnvironment =
    ::testing::AddGlobalTestEnvironment(new BrowserEnvironment);

}  // namespace

LocalStore& ThePages() { return *gPages; }
BrowserHarness& TheBrowser() { return *gBrowser; }

}  // namespace zun::testing
