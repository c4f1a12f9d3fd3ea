#include "platform/module_loader.h"

#include <dlfcn.h>
#include <link.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>

#include "base/bounded_text.h"

namespace zun::platform {

LoadedModule::LoadedModule(const char* path) {
    _handle = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    if (_handle == nullptr) {
        const char* reason = dlerror();
        CopyText(_error, reason != nullptr ? reason : "dlopen failed");
    }
}

LoadedModule::~LoadedModule() {
    if (_handle != nullptr) dlclose(_handle);
}

void* LoadedModule::FindExport(const char* name) const {
    return _handle != nullptr ? dlsym(_handle, name) : nullptr;
}

Status LoadedModule::GetPath(char* buffer, size_t size) const {
    struct link_map* map = nullptr;
    if (_handle == nullptr || dlinfo(_handle, RTLD_DI_LINKMAP, &map) != 0 || map == nullptr) {
        return ZUN_E_INVALID_ARG;
    }
    char resolved[PATH_MAX];
    if (realpath(map->l_name, resolved) != nullptr) return CopyText(buffer, size, resolved);
    return CopyText(buffer, size, map->l_name);
}

bool IsModuleLoaded(const char* path) {
    void* loaded = dlopen(path, RTLD_NOW | RTLD_NOLOAD);
    if (loaded == nullptr) return false;
    dlclose(loaded);
    return true;
}

bool FlushToDisk(std::FILE* file) { return std::fflush(file) == 0 && fsync(fileno(file)) == 0; }

Status GetExecutablePath(char* buffer, size_t size) {
    char resolved[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", resolved, sizeof resolved - 1);
    if (length < 0) return ZUN_E_INVALID_ARG;
    resolved[length] = '\0';
    return CopyText(buffer, size, resolved);
}

}  // namespace zun::platform
