#include "platform/module.h"

#include <windows.h>

#include <vector>

#include "base/bounded_text.h"
#include "platform/win32/engine_module.h"
#include "platform/win32/last_error.h"
#include "platform/win32/module_file_name.h"

namespace zun::platform {

Status GetEngineModulePath(char* buffer, size_t size) {
    const HMODULE module = EngineModule();
    if (module == nullptr) {
        if (buffer != nullptr && size != 0) buffer[0] = '\0';
        return win32::LastErrorOr(ZUN_E_UNEXPECTED);
    }
    return ModuleFileName(module, buffer, size);
}

FileVersion ReadFileVersion(const char* path) {
    FileVersion version;
    if (path == nullptr) return version;
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeA(path, &ignored);
    if (size == 0) return version;
    std::vector<unsigned char> data(size);
    if (!GetFileVersionInfoA(path, 0, size, data.data())) return version;
    VS_FIXEDFILEINFO* info = nullptr;
    UINT infoSize = 0;
    if (!VerQueryValueA(data.data(), "\\", reinterpret_cast<void**>(&info), &infoSize) || info == nullptr ||
        infoSize < sizeof(VS_FIXEDFILEINFO)) {
        return version;
    }
    version.major = HIWORD(info->dwFileVersionMS);
    version.minor = LOWORD(info->dwFileVersionMS);
    version.build = HIWORD(info->dwFileVersionLS);
    version.revision = LOWORD(info->dwFileVersionLS);
    return version;
}

Status CreateTempFile(const char* prefix, char* path, size_t size) {
    if (prefix == nullptr || path == nullptr || size == 0) return ZUN_E_INVALID_ARG;
    path[0] = '\0';
    char directory[MAX_PATH + 1];
    const DWORD length = GetTempPathA(sizeof directory, directory);
    if (length == 0) return win32::LastErrorOr(ZUN_E_UNEXPECTED);
    if (length >= sizeof directory) return ERROR_BUFFER_OVERFLOW;
    // Unique number 0: the system picks a fresh name and creates the file.
    char name[MAX_PATH];
    if (GetTempFileNameA(directory, prefix, 0, name) == 0) return win32::LastErrorOr(ZUN_E_UNEXPECTED);
    const Status copied = CopyText(path, size, name);
    if (copied != 0) {
        DeleteFileA(name);
        path[0] = '\0';
    }
    return copied;
}

}  // namespace zun::platform
