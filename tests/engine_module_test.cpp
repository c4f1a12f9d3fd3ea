#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include <zunserver/zunserver.h>

#include "gateway/engine_module_info.h"
#include "platform/module.h"
#include "platform/module_loader.h"

namespace zun {
namespace {

std::string VersionTextOf(const char* path) {
    char text[24];
    EXPECT_EQ(FormatVersionText(platform::ReadFileVersion(path), text, sizeof text), 0u);
    return text;
}

TEST(EngineModule, TheBuiltEngineCarriesTheProjectVersionAndExportsEntryPoint) {
    EXPECT_EQ(VersionTextOf(ZUN_ENGINE_PATH), ZUN_PROJECT_VERSION);

    platform::LoadedModule engine(ZUN_ENGINE_PATH);
    ASSERT_TRUE(engine.Loaded()) << engine.LoadError();
    auto* entry = reinterpret_cast<ZunEntryPointFunction>(engine.FindExport("EntryPoint"));
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry(nullptr), ZUN_E_INVALID_REQUEST);
    GatewayRecord record{};
    record.size = sizeof record;
    record.callType = 11;
    std::strcpy(record.updateFilePath, "stale");
    EXPECT_EQ(entry(&record), ZUN_E_INVALID_REQUEST);
    EXPECT_EQ(record.updateFilePath[0], '\0');

    char path[1024];
    ASSERT_EQ(engine.GetPath(path, sizeof path), 0u);
    EXPECT_EQ(VersionTextOf(path), ZUN_PROJECT_VERSION);
}

TEST(EngineModule, AFileWithoutAVersionReadsAsZeros) {
    EXPECT_EQ(VersionTextOf("no-such-file.dll"), "0.0.0.0");
    EXPECT_EQ(VersionTextOf(nullptr), "0.0.0.0");
}

TEST(EngineModule, RefreshNamesTheModuleThatHoldsTheEngine) {
    // Linked statically into this test program, the engine lives in the
    // program's own file.
    ASSERT_EQ(RefreshEngineModuleInfo(), 0u);
    char executable[1024];
    ASSERT_EQ(platform::GetExecutablePath(executable, sizeof executable), 0u);
    EXPECT_STREQ(TheEngineModuleInfo().modulePath, executable);
    EXPECT_EQ(std::string(TheEngineModuleInfo().versionText), VersionTextOf(executable));

    char small[8];
    EXPECT_EQ(platform::GetEngineModulePath(small, sizeof small), ZUN_E_TEXT_TRUNCATED);
    EXPECT_EQ(std::strlen(small), sizeof small - 1);
}

TEST(EngineModule, VersionTextHasNoLeadingZeros) {
    char text[24];
    EXPECT_EQ(FormatVersionText({65535, 0, 10, 7}, text, sizeof text), 0u);
    EXPECT_STREQ(text, "65535.0.10.7");
    EXPECT_EQ(FormatVersionText({65535, 65535, 65535, 65535}, text, sizeof text), 0u);
    EXPECT_STREQ(text, "65535.65535.65535.65535");
}

}  // namespace
}  // namespace zun
