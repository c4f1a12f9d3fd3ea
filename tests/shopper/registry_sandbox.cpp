#include "registry_sandbox.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <random>

#include "shopper/registry_data.h"

namespace zun::testing {
namespace {

#if !defined(_WIN32)
class RegistrySandbox final : public ::testing::Environment {
public:
    void SetUp() override {
        char folder[] = "/tmp/zun-registry-XXXXXX";
        ASSERT_NE(mkdtemp(folder), nullptr);
        _folder = folder;
        setenv("ZUN_USER_HIVE", (_folder / "user.db").c_str(), 1);
        setenv("ZUN_MACHINE_HIVE", (_folder / "machine.db").c_str(), 1);
    }
    void TearDown() override {
        std::error_code ignored;
        std::filesystem::remove_all(_folder, ignored);
    }

private:
    std::filesystem::path _folder;
};

[[maybe_unused]] ::testing::Environment* const kSandbox = ::testing::AddGlobalTestEnvironment(new RegistrySandbox);
#endif

}  // namespace

std::string UniqueName(const char* prefix) {
    static std::mt19937_64 random(
        static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()) ^ std::random_device{}());
    return prefix + std::to_string(random());
}

void PutValue(platform::RegistryRoot root, const std::string& path, const char* name, uint32_t type,
              const std::vector<uint8_t>& bytes) {
    platform::RegistryKeyOwner key;
    ASSERT_EQ(platform::RegistryCreateKey(root, path.c_str(), key.Out()), 0u) << path;
    EXPECT_EQ(platform::RegistrySetValue(key.Get(), name, type, bytes.data(), static_cast<uint32_t>(bytes.size())),
              0u);
}

void PutText(platform::RegistryRoot root, const std::string& path, const char* name, const std::string& text) {
    EXPECT_TRUE(WriteRegistryString(root, path.c_str(), name, text.c_str())) << path;
}

std::optional<std::vector<uint8_t>> ValueBytes(platform::RegistryRoot root, const std::string& path,
                                               const char* name) {
    platform::RegistryKeyOwner key;
    uint32_t type = 0, size = 0;
    if (platform::RegistryOpenKey(root, path.c_str(), platform::kKeyQueryValue, key.Out()) != 0 ||
        platform::RegistryQueryValue(key.Get(), name, &type, nullptr, &size) != 0) {
        return std::nullopt;
    }
    std::vector<uint8_t> bytes(size);
    if (platform::RegistryQueryValue(key.Get(), name, &type, bytes.data(), &size) != 0) return std::nullopt;
    return bytes;
}

}  // namespace zun::testing
