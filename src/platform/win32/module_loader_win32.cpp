#include "platform/module_loader.h"

#include <windows.h>

#include <io.h>

#include "base/bounded_text.h"
#include "platform/win32/module_file_name.h"

namespace zun::platform {
LoadedModule::LoadedModule(const char* path) {
    _handle = LoadLibraryA(path);
    if (_handle == nullptr) FormatText(_error, sizeof _error, "LoadLibraryA failed with error %lu", GetLastError());
}

LoadedModule::~LoadedModule() {
    if (_handle != nullptr) FreeLibrary(static_cast<HMODULE>(_handle));
}

void* LoadedModule::FindExport(const char* name) const {
    if (_handle == nullptr) return nullptr;
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(_handle), name));
}

Status LoadedModule::GetPath(char* buffer, size_t size) const {
    if (_handle == nullptr) return ZUN_E_INVALID_ARG;
    return ModuleFileName(static_cast<HMODULE>(_handle), buffer, size);
}

bool IsModuleLoaded(const char* path) { return GetModuleHandleA(path) != nullptr; }

bool FlushToDisk(std::FILE* file) {
    if (std::fflush(file) != 0) return false;
    const intptr_t handle = _get_osfhandle(_fileno(file));
    return handle != -1 && FlushFileBuffers(reinterpret_cast<HANDLE>(handle));
}

Status GetExecutablePath(char* buffer, size_t size) { return ModuleFileName(nullptr, buffer, size); }

}  // namespace zun::platform
