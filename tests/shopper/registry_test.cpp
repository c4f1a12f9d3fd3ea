// The registry port and ReadRegistryData on each platform's registry.
#include <gtest/gtest.h>

#if !defined(_WIN32)
#include <sys/stat.h>
#endif

#include <string>
#include <thread>
#include <vector>

#include "registry_sandbox.h"
#include "shopper/registry_data.h"

namespace zun {
namespace {

using platform::RegistryRoot;
using testing::PutValue;
using testing::UniqueName;
using Bytes = std::vector<uint8_t>;

Bytes Of(const std::string& text) { return Bytes(text.begin(), text.end()); }

TEST(Registry, QueryReportsSizesMissingValuesAndSmallBuffers) {
    const std::string path = "Software\\ZunTests\\" + UniqueName("query");
    PutValue(RegistryRoot::CurrentUser, path, "v", platform::kRegBinary, Of("0123456789"));

    platform::RegistryKeyOwner key;
    // Key paths compare without regard to letter case.
    std::string upper = path;
    for (char& c : upper) c = static_cast<char>(toupper(c));
    ASSERT_EQ(
        platform::RegistryOpenKey(RegistryRoot::CurrentUser, upper.c_str(), platform::kKeyQueryValue, key.Out()), 0u);
    uint8_t small[4] = {};
    uint32_t type = 0;
    uint32_t size = sizeof small;
    EXPECT_EQ(platform::RegistryQueryValue(key.Get(), "v", &type, small, &size), platform::kErrorMoreData);
    EXPECT_EQ(size, 10u);
    size = 0;
    EXPECT_EQ(platform::RegistryQueryValue(key.Get(), "V", &type, nullptr, &size), 0u);
    EXPECT_EQ(size, 10u);
    EXPECT_EQ(type, platform::kRegBinary);
    size = sizeof small;
    EXPECT_EQ(platform::RegistryQueryValue(key.Get(), "missing", &type, small, &size), platform::kErrorFileNotFound);

    // A failed open clears the caller's handle.
    platform::RegistryKey missing = key.Get();
    EXPECT_EQ(platform::RegistryOpenKey(RegistryRoot::CurrentUser, (path + "\\none").c_str(),
                                        platform::kKeyQueryValue, &missing),
              platform::kErrorFileNotFound);
    EXPECT_EQ(missing, nullptr);
}

TEST(Registry, ReadRegistryDataFoldsTextTypes) {
    const std::string path = "Software\\ZunTests\\" + UniqueName("read");
    const RegistryRoot user = RegistryRoot::CurrentUser;
    PutValue(user, path, "tiny", platform::kRegBinary, {1, 2, 3});
    PutValue(user, path, "binary", platform::kRegBinary, Of("binary value"));
    PutValue(user, path, "text", platform::kRegSz, Of(std::string("some text", 10)));
    PutValue(user, path, "multi", platform::kRegMultiSz, Of(std::string("one\0two\0three\0\0", 15)));
    PutValue(user, path, "empty", platform::kRegBinary, {});

    EXPECT_EQ(ReadRegistryData(user, path.c_str(), "tiny"), (Bytes{1, 2, 3}));
    EXPECT_EQ(ReadRegistryData(user, path.c_str(), "binary"), Of("binary value"));
    EXPECT_EQ(ReadRegistryData(user, path.c_str(), "text"), Of("some text"));
    EXPECT_EQ(ReadRegistryData(user, path.c_str(), "multi"), Of("one two three"));
    EXPECT_TRUE(ReadRegistryData(user, path.c_str(), "empty").empty());
    EXPECT_TRUE(ReadRegistryData(user, path.c_str(), "missing").empty());
    EXPECT_TRUE(ReadRegistryData(user, (path + "\\missing").c_str(), "binary").empty());

    // The two hives are separate.
    EXPECT_TRUE(WriteRegistryString(RegistryRoot::LocalMachine, path.c_str(), "URL", "machine"));
    EXPECT_TRUE(WriteRegistryString(user, path.c_str(), "URL", "user"));
    EXPECT_EQ(ReadRegistryData(RegistryRoot::LocalMachine, path.c_str(), "URL"), Of("machine"));
}

TEST(Registry, ReadersNeverSeeHalfAValue) {
    const std::string path = "Software\\ZunTests\\" + UniqueName("atomic");
    const Bytes first(6000, 'a');
    const Bytes second(9000, 'b');
    PutValue(RegistryRoot::CurrentUser, path, "v", platform::kRegBinary, first);
    std::thread writer([&] {
        for (int i = 0; i < 40; ++i) {
            PutValue(RegistryRoot::CurrentUser, path, "v", platform::kRegBinary, i % 2 ? first : second);
        }
    });
    int whole = 0;
    for (int i = 0; i < 40; ++i) {
        const Bytes read = ReadRegistryData(RegistryRoot::CurrentUser, path.c_str(), "v");
        // Empty when the value changed size between the two queries.
        EXPECT_TRUE(read.empty() || read == first || read == second);
        if (!read.empty()) ++whole;
    }
    writer.join();
    // Reads that race a writer may come back empty, but not all of them.
    EXPECT_GT(whole, 0);
    EXPECT_EQ(ReadRegistryData(RegistryRoot::CurrentUser, path.c_str(), "v"), first);  // the last one written
}

#if !defined(_WIN32)
// A new hive file is its owner's alone; a hive that cannot be opened (a
// folder, a file that is no database) is an error, never an empty hive.
TEST(Registry, NewHiveFilesAreTheUsersAloneAndUnopenableHivesAreErrors) {
    const std::string saved = getenv("ZUN_USER_HIVE");
    const std::string file = saved + "." + UniqueName("new") + "/sub/user.db";
    setenv("ZUN_USER_HIVE", file.c_str(), 1);
    EXPECT_TRUE(WriteRegistryString(RegistryRoot::CurrentUser, "Software\\X", "v", "private"));
    struct stat info {};
    ASSERT_EQ(stat(file.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 077, 0u);

    const std::string notADatabase = saved + ".text";
    FILE* text = fopen(notADatabase.c_str(), "w");
    ASSERT_NE(text, nullptr);
    fputs("this is not a database file, and it is long enough to have a header of sorts.\n", text);
    fclose(text);
    for (const char* hive : {"/tmp", notADatabase.c_str()}) {
        setenv("ZUN_USER_HIVE", hive, 1);
        platform::RegistryKey key = nullptr;
        EXPECT_NE(platform::RegistryCreateKey(RegistryRoot::CurrentUser, "Software", &key), 0u) << hive;
        EXPECT_EQ(key, nullptr);
        EXPECT_FALSE(WriteRegistryString(RegistryRoot::CurrentUser, "Software", "x", "y")) << hive;
    }
    setenv("ZUN_USER_HIVE", saved.c_str(), 1);
    remove(notADatabase.c_str());
}
#endif

}  // namespace
}  // namespace zun
