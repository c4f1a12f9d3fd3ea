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
    EXPECT_NE(engine.FindExport("EntryPoint"), nullptr);

    char path[1024];
    ASSERT_EQ(engine.GetPath(path, sizeof path), 0u);
    EXPECT_EQ(VersionTextOf(path), ZUN_PROJECT_VERSION);
    // A file without a version reads as zeros, as the update query sends it.
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

}  // namespace
}  // namespace zun
