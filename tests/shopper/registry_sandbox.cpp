#include "registry_sandbox.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>

#include "shopper/registry_data.h"

namespace zun::testing {

#if !defined(_WIN32)
// This program's hives, in a folder of its own that goes when it ends.
[[maybe_unused]] const bool kSandbox = [] {
    static char folder[] = "/tmp/zun-registry-XXXXXX";
    if (mkdtemp(folder) == nullptr) std::abort();
    setenv("ZUN_USER_HIVE", (std::string(folder) + "/user.db").c_str(), 1);
    setenv("ZUN_MACHINE_HIVE", (std::string(folder) + "/machine.db").c_str(), 1);
    return std::atexit([] {
               std::error_code ignored;
               std::filesystem::remove_all(folder, ignored);
           }) == 0;
}();
#endif

std::string UniqueName(const char* prefix) {
    static unsigned count = 0;
    return prefix + std::to_string(std::chrono::system_clock::now().time_since_epoch().count()) + "-" +
           std::to_string(++count);
}

void PutValue(platform::RegistryRoot root, const std::string& path, const char* name, uint32_t type,
              const std::vector<uint8_t>& bytes) {
    platform::RegistryKeyOwner key;
    ASSERT_EQ(platform::RegistryCreateKey(root, path.c_str(), key.Out()), 0u) << path;
    EXPECT_EQ(platform::RegistrySetValue(key.Get(), name, type, bytes.data(), static_cast<uint32_t>(bytes.size())),
              0u);
}

std::optional<std::vector<uint8_t>> ValueBytes(platform::RegistryRoot root, const std::string& path,
                                               const char* name) {
    std::vector<uint8_t> bytes = ReadRegistryData(root, path.c_str(), name);
    if (bytes.empty()) return std::nullopt;
    return bytes;
}

}  // namespace zun::testing
