// An open key of the system registry, closed when its owner goes.
#pragma once

#include <windows.h>

#include "base/unique_handle.h"

namespace zun::platform::win32 {

inline void CloseRegistryKey(HKEY key) { RegCloseKey(key); }

using RegistryKeyOwner = UniqueHandle<HKEY, &CloseRegistryKey>;

}  // namespace zun::platform::win32
