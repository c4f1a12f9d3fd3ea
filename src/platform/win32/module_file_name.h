// The file name of a loaded module, bounded and always terminated.
#pragma once

#include <windows.h>

#include <cstddef>

#include "base/status.h"

namespace zun::platform {

// ZUN_E_TEXT_TRUNCATED with the cut name when the buffer is too small; the
// Win32 error number when the module has no file name.
Status ModuleFileName(HMODULE module, char* buffer, size_t size);

}  // namespace zun::platform
