// Module loader port, for programs that load the engine at run time (the
// client): load a module file, find an exported function, name its file.
#pragma once

#include <cstddef>
#include <cstdio>

#include "base/status.h"

namespace zun::platform {

class LoadedModule {
public:
    // Loads the module at `path`; Loaded() tells whether that worked and
    // LoadError() why not.
    explicit LoadedModule(const char* path);
    ~LoadedModule();
    LoadedModule(const LoadedModule&) = delete;
    LoadedModule& operator=(const LoadedModule&) = delete;

    bool Loaded() const { return _handle != nullptr; }
    const char* LoadError() const { return _error; }
    // Address of an exported function, or null.
    void* FindExport(const char* name) const;
    // Full path of the loaded module file.
    Status GetPath(char* buffer, size_t size) const;

private:
    void* _handle = nullptr;
    char _error[256] = {};
};

// True while the module file at `path` is loaded in this process.
bool IsModuleLoaded(const char* path);

// Writes what the stream holds through to the disk. False when that fails.
bool FlushToDisk(std::FILE* file);

// Full path of the running program's executable file.
Status GetExecutablePath(char* buffer, size_t size);

}  // namespace zun::platform
