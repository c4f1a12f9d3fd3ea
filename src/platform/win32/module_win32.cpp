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

Status CreateTempFile(const char* prefix, char* path, size_t size, CreatedFile* file) {
    if (prefix == nullptr || path == nullptr || size == 0 || file == nullptr) return ZUN_E_INVALID_ARG;
    path[0] = '\0';
    char directory[MAX_PATH + 1];
    const DWORD length = GetTempPathA(sizeof directory, directory);
    if (length == 0) return win32::LastErrorOr(ZUN_E_UNEXPECTED);
    if (length >= sizeof directory) return ERROR_BUFFER_OVERFLOW;
    // GetTempFileNameA forms "<prefix><hex>.tmp" names; the file is created
    // here, with the handle that writes it, and a name taken meanwhile is
    // skipped.
    const UINT start = GetTickCount();
    for (UINT attempt = 0; attempt < 0xFFFF; ++attempt) {
        const UINT unique = ((start + attempt) % 0xFFFF) + 1;
        char name[MAX_PATH];
        if (GetTempFileNameA(directory, prefix, unique, name) == 0) return win32::LastErrorOr(ZUN_E_UNEXPECTED);
        const HANDLE created = CreateFileA(name, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                                           FILE_ATTRIBUTE_NORMAL, nullptr);
        if (created == INVALID_HANDLE_VALUE) {
            const DWORD error = GetLastError();
            if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) continue;
            return error;
        }
        const Status copied = CopyText(path, size, name);
        if (copied != 0) {
            CloseHandle(created);
            DeleteFileA(name);
            path[0] = '\0';
            return copied;
        }
        file->Close();
        file->_handle = reinterpret_cast<intptr_t>(created);
        return 0;
    }
    return ERROR_FILE_EXISTS;
}

Status CreatedFile::Write(const void* data, size_t size) {
    const auto* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const DWORD piece = static_cast<DWORD>(size < 0x40000000 ? size : 0x40000000);
        DWORD written = 0;
        if (!WriteFile(reinterpret_cast<HANDLE>(_handle), bytes, piece, &written, nullptr) || written == 0) {
            return win32::LastErrorOr(ERROR_WRITE_FAULT);
        }
        bytes += written;
        size -= written;
    }
    return 0;
}

Status CreatedFile::Truncate() {
    const HANDLE handle = reinterpret_cast<HANDLE>(_handle);
    if (SetFilePointer(handle, 0, nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER || !SetEndOfFile(handle)) {
        return win32::LastErrorOr(ERROR_WRITE_FAULT);
    }
    return 0;
}

Status CreatedFile::Close() {
    if (_handle == kNone) return 0;
    const HANDLE handle = reinterpret_cast<HANDLE>(_handle);
    _handle = kNone;
    return CloseHandle(handle) ? 0 : win32::LastErrorOr(ERROR_INVALID_HANDLE);
}

}  // namespace zun::platform
