#include "platform/win32/module_file_name.h"

#include "base/bounded_text.h"

namespace zun::platform {

Status ModuleFileName(HMODULE module, char* buffer, size_t size) {
    if (buffer == nullptr || size == 0 || size > kMaxTextBufferSize) return ZUN_E_BAD_TEXT_ARGUMENT;
    const DWORD length = GetModuleFileNameA(module, buffer, static_cast<DWORD>(size));
    if (length == 0) {
        buffer[0] = '\0';
        return GetLastError();
    }
    if (length >= size) {
        // Older systems leave the cut name without a terminator.
        buffer[size - 1] = '\0';
        return ZUN_E_TEXT_TRUNCATED;
    }
    return 0;
}

}  // namespace zun::platform
