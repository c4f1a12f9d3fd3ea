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

// Creates an empty file with a fresh name "<prefix>*.tmp" in the user's
// temporary directory and writes its full path into `path`. 0, or the
// system's error number (a Win32 error number on every platform).
Status CreateTempFile(const char* prefix, char* path, size_t size);

}  // namespace zun::platform
