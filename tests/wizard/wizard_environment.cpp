// Every test of this program runs its browsers headless; the registry hives
// are the sandbox's (registry_sandbox.cpp).
#include <gtest/gtest.h>

#include <cstdlib>

namespace zun::testing {
namespace {

class HeadlessBrowsers final : public ::testing::Environment {
public:
    void SetUp() override { setenv("ZUN_BROWSER_HEADLESS", "1", 1); }
};

[[maybe_unused]] ::testing::Environment* const gEnvironment =
    ::testing::AddGlobalTestEnvironment(new HeadlessBrowsers);

}  // namespace
}  // namespace zun::testing
