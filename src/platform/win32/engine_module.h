// The module that holds the engine's code: the DLL, or the executable when
// the engine is linked in statically.
#pragma once

#include <windows.h>

namespace zun::platform {

// Null when it cannot be found; GetLastError() tells why.
HMODULE EngineModule();

}  // namespace zun::platform
