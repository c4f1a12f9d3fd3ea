// The status of a system call that has failed.
#pragma once

#include <windows.h>

#include "base/status.h"

namespace zun::platform::win32 {

// The thread's last error, or `fallback` when the failed call left none, so a
// failure is never reported as success.
inline Status LastErrorOr(Status fallback) {
    const DWORD error = GetLastError();
    return error != 0 ? static_cast<Status>(error) : fallback;
}

}  // namespace zun::platform::win32
