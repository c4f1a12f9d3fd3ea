// The client's side of an engine update: the downloaded file is judged from
// its bytes, never by loading it, and installed in place of the engine.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "engine_update.h"
#include "file_bytes.h"

namespace zun {
namespace {

namespace fs = std::filesystem;
using testing::FileBytes;

TEST(ClientUpdate, ACandidateIsJudgedWithoutRunningItAndInstalledWithTheEnginesMode) {
    const fs::path folder = fs::temp_directory_path() / ("client-update-" + std::to_string(std::rand()));
    fs::create_directories(folder);
    const platform::FileVersion installed = platform::ReadFileVersion(ZUN_ENGINE_PATH);
    platform::FileVersion version;
    std::string why;

    // Loading this one would leave the marker; it is refused as no newer
    // than the installed engine before anything of it runs.
    const std::string marker = (folder / "marker").string();
#ifdef _WIN32
    _putenv_s("ZUN_MARKER_FILE", marker.c_str());
#else
    setenv("ZUN_MARKER_FILE", marker.c_str(), 1);
#endif
    EXPECT_FALSE(IsEngineBuild(ZUN_MARKER_MODULE_PATH, installed, &version, &why));
    EXPECT_EQ(why, "it is not newer than the installed engine");
    EXPECT_FALSE(fs::exists(marker));
    EXPECT_FALSE(IsEngineBuild(ZUN_ENGINE_PATH, installed, &version, &why));
    ASSERT_TRUE(IsEngineBuild(ZUN_NEXT_ENGINE_PATH, installed, &version, &why)) << why;

    // The installed engine keeps its permission bits; nothing staged stays.
    const fs::path engine = folder / "engine";
    const fs::path update = folder / "update";
    fs::copy_file(ZUN_ENGINE_PATH, engine);
    fs::copy_file(ZUN_NEXT_ENGINE_PATH, update);
    const fs::perms mode = fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                           fs::perms::others_read | fs::perms::others_exec;
    fs::permissions(engine, mode);
    fs::permissions(update, fs::perms::owner_read | fs::perms::owner_write);
    ASSERT_TRUE(InstallEngineUpdate(engine.string(), update.string(), &why)) << why;
    EXPECT_EQ(FileBytes(engine.string()), FileBytes(ZUN_NEXT_ENGINE_PATH));
    EXPECT_EQ(fs::status(engine).permissions(), fs::status(BackupPath(engine.string())).permissions());
#ifndef _WIN32
    EXPECT_EQ(fs::status(engine).permissions(), mode);
#endif
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), {}), 2);  // the engine and its .old copy
    fs::remove_all(folder);
}

}  // namespace
}  // namespace zun
