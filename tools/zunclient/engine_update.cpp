#include "engine_update.h"

#include <cstdio>
#include <filesystem>
#include <random>
#include <system_error>

#include "platform/module_loader.h"
#include "update/engine_file.h"

namespace fs = std::filesystem;

namespace {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// A name in the engine's folder that no other client picks at the same time.
std::string StagingPath(const std::string& installed) {
    std::random_device random;
    char suffix[32];
    std::snprintf(suffix, sizeof suffix, ".new-%08x%08x", random(), random());
    return installed + suffix;
}

// Copies `from` into the new file `to` and writes it through to the disk.
bool CopyFlushed(const std::string& from, const std::string& to, std::string* why) {
    const File source(std::fopen(from.c_str(), "rb"));
    const File target(std::fopen(to.c_str(), "wb"));
    if (!source || !target) {
        *why = "cannot open " + (source ? to : from);
        return false;
    }
    char buffer[64 * 1024];
    size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, source.get())) > 0) {
        if (std::fwrite(buffer, 1, got, target.get()) != got) break;
    }
    if (std::ferror(source.get()) || std::ferror(target.get()) || !zun::platform::FlushToDisk(target.get())) {
        *why = "cannot write " + to;
        return false;
    }
    return true;
}

}  // namespace

bool IsEngineBuild(const char* path, const zun::platform::FileVersion& installed,
                   zun::platform::FileVersion* version, std::string* why) {
    if (const char* wrong = zun::WrongModuleReason(path)) {
        *why = wrong;
        return false;
    }
    *version = zun::platform::ReadFileVersion(path);
    if (zun::IsUnknownVersion(*version)) {
        *why = "it carries no file version";
        return false;
    }
    if (zun::CompareFileVersions(*version, installed) <= 0) {
        *why = "it is not newer than the installed engine";
        return false;
    }
    return true;
}

std::string BackupPath(const std::string& installed) { return installed + ".old"; }

bool InstallEngineUpdate(const std::string& installed, const std::string& update, std::string* why) {
    // Staged in the engine's own directory, so that the last step is a
    // rename within one file system: the engine file is always whole.
    const std::string staged = StagingPath(installed);
    std::error_code error;
    const fs::perms mode = fs::status(installed, error).permissions();
    if (error || !CopyFlushed(update, staged, why) ||
        (fs::permissions(staged, mode, error), error) ||
        !fs::copy_file(installed, BackupPath(installed), fs::copy_options::overwrite_existing, error)) {
        if (error) *why = "cannot stage the update: " + error.message();
        fs::remove(staged, error);
        return false;
    }
    fs::rename(staged, installed, error);
    if (error) {
        *why = "cannot put the update in place: " + error.message();
        fs::remove(staged, error);
        return false;
    }
    fs::remove(update, error);
    return true;
}
