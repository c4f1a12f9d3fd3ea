// The registry port and ReadRegistryData on each platform's registry.
#include <gtest/gtest.h>

#if !defined(_WIN32)
#include <sys/stat.h>
#endif

#include <cctype>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "registry_sandbox.h"
#include "shopper/registry_data.h"

namespace zun {
namespace {

using platform::RegistryRoot;
using testing::PutValue;
using Bytes = std::vector<uint8_t>;

Bytes Of(const std::string& text) { return Bytes(text.begin(), text.end()); }

TEST(Registry, ReadRegistryDataFoldsTextTypesAndKeyPathsIgnoreLetterCase) {
    const std::string path = "Software\\ZunTests\\" + testing::UniqueName("read");
    std::string upper = path;
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    const struct {
        const char* name;
        uint32_t type;
        Bytes stored, read;
    } kValues[] = {
        {"tiny", platform::kRegBinary, {1, 2, 3}, {1, 2, 3}},
        {"binary", platform::kRegBinary, Of("binary value"), Of("binary value")},
        {"text", platform::kRegSz, Of(std::string("some text", 10)), Of("some text")},
        {"multi", platform::kRegMultiSz, Of(std::string("one\0two\0three\0\0", 15)), Of("one two three")},
        {"empty", platform::kRegBinary, {}, {}},
    };
    for (const auto& value : kValues) {
        PutValue(RegistryRoot::CurrentUser, path, value.name, value.type, value.stored);
        EXPECT_EQ(ReadRegistryData(RegistryRoot::CurrentUser, upper.c_str(), value.name), value.read) << value.name;
    }
    EXPECT_TRUE(ReadRegistryData(RegistryRoot::CurrentUser, path.c_str(), "missing").empty());
    EXPECT_TRUE(ReadRegistryData(RegistryRoot::CurrentUser, (path + "\\missing").c_str(), "binary").empty());
    EXPECT_TRUE(ReadRegistryData(RegistryRoot::LocalMachine, path.c_str(), "binary").empty()) << "hives are apart";
}

TEST(Registry, ReadersNeverSeeHalfAValue) {
    const std::string path = "Software\\ZunTests\\" + testing::UniqueName("atomic");
    const Bytes first(6000, 'a'), second(9000, 'b');
    PutValue(RegistryRoot::CurrentUser, path, "v", platform::kRegBinary, first);
    std::thread writer([&] {
        for (int i = 0; i < 40; ++i) {
            PutValue(RegistryRoot::CurrentUser, path, "v", platform::kRegBinary, i % 2 ? first : second);
        }
    });
    int whole = 0;
    for (int i = 0; i < 40; ++i) {
        // Empty when the value changed size between the two queries.
        const Bytes read = ReadRegistryData(RegistryRoot::CurrentUser, path.c_str(), "v");
        EXPECT_TRUE(read.empty() || read == first || read == second);
        whole += !read.empty();
    }
    writer.join();
    EXPECT_GT(whole, 0);
    EXPECT_EQ(ReadRegistryData(RegistryRoot::CurrentUser, path.c_str(), "v"), first);
}

#if !defined(_WIN32)
// A hive that cannot be opened (a folder, a file that is no database) is an
// error, never an empty hive.
TEST(Registry, NewHiveFilesAreTheUsersAloneAndUnopenableHivesAreErrors) {
    const std::string saved = getenv("ZUN_USER_HIVE");
    const std::string file = saved + "." + testing::UniqueName("new") + "/sub/user.db";
    const std::string notADatabase = saved + ".text";
    setenv("ZUN_USER_HIVE", file.c_str(), 1);
    EXPECT_TRUE(WriteRegistryString(RegistryRoot::CurrentUser, "Software\\X", "v", "private"));
    struct stat info {};
    ASSERT_EQ(stat(file.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 077, 0u);

    std::ofstream(notADatabase) << "this is not a database file, and it is long enough to have a header of sorts.\n";
    for (const char* hive : {"/tmp", notADatabase.c_str()}) {
        setenv("ZUN_USER_HIVE", hive, 1);
        platform::RegistryKey key = nullptr;
        EXPECT_NE(platform::RegistryCreateKey(RegistryRoot::CurrentUser, "Software", &key), 0u) << hive;
        EXPECT_EQ(key, nullptr);
    }
    setenv("ZUN_USER_HIVE", saved.c_str(), 1);
    remove(notADatabase.c_str());
}
#endif

}  // namespace
}  // namespace zun
