// Module port: what the engine asks of the platform about module files.
#pragma once

#include <cstddef>
#include <cstdint>

#include "base/status.h"

namespace zun::platform {

struct FileVersion {
    uint16_t major = 0;
    uint16_t minor = 0;
    uint16_t build = 0;
    uint16_t revision = 0;
};

// Full path of the module file that holds the engine's code (the shared
// library or DLL; the executable when the engine is linked in statically).
// Returns ZUN_E_TEXT_TRUNCATED with the cut path when it does not fit.
Status GetEngineModulePath(char* buffer, size_t size);

// File version a.b.c.d of a module file; all zeros when the file carries none
// or cannot be read.
FileVersion ReadFileVersion(const char* path);

// A file the engine has just created, open for writing through the handle
// that created it, readable and writable by its owner only. Closed when the
// owner goes. Statuses are 0 or a Win32 error number on every platform.
class CreatedFile {
public:
    CreatedFile() = default;
    ~CreatedFile() { Close(); }
    CreatedFile(const CreatedFile&) = delete;
    CreatedFile& operator=(const CreatedFile&) = delete;

    bool IsOpen() const { return _handle != kNone; }
    Status Write(const void* data, size_t size);
    // Empties the file; writing starts again at its beginning.
    Status Truncate();
    Status Close();

private:
    friend Status CreateTempFile(const char* prefix, char* path, size_t size, CreatedFile* file);
    static constexpr intptr_t kNone = -1;
    intptr_t _handle = kNone;
};

// Creates an empty file with a fresh name "<prefix>*.tmp" in the user's
// temporary directory, writes its full path into `path` and hands it over
// open in `file`. 0, or the system's error number (a Win32 error number on
// every platform).
Status CreateTempFile(const char* prefix, char* path, size_t size, CreatedFile* file);

}  // namespace zun::platform
