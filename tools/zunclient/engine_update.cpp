#include "engine_update.h"

#include <filesystem>
#include <system_error>

#include <zunserver/zunserver.h>

#include "platform/module_loader.h"

namespace fs = std::filesystem;

bool IsEngineBuild(const char* path, zun::platform::FileVersion* version, std::string* why) {
    *version = zun::platform::ReadFileVersion(path);
    if (version->major == 0 && version->minor == 0 && version->build == 0 && version->revision == 0) {
        *why = "it carries no file version";
        return false;
    }
    const zun::platform::LoadedModule candidate(path);
    if (!candidate.Loaded()) {
        *why = std::string("it does not load: ") + candidate.LoadError();
        return false;
    }
    if (candidate.FindExport("EntryPoint") == nullptr) {
        *why = "it exports no EntryPoint";
        return false;
    }
    return true;
}

std::string BackupPath(const std::string& installed) { return installed + ".old"; }

bool InstallEngineUpdate(const std::string& installed, const std::string& update, std::string* why) {
    // Staged in the engine's own directory, so that the last step is a
    // rename within one file system: the engine file is always whole.
    const std::string staged = installed + ".new";
    std::error_code error;
    if (!fs::copy_file(update, staged, fs::copy_options::overwrite_existing, error) ||
        !fs::copy_file(installed, BackupPath(installed), fs::copy_options::overwrite_existing, error)) {
        *why = "cannot stage the update: " + error.message();
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
