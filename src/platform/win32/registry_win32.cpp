#include <windows.h>

#include "platform/registry.h"

namespace zun::platform {
namespace {

HKEY RootKey(RegistryRoot root) { return root == RegistryRoot::CurrentUser ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE; }

HKEY Native(RegistryKey key) { return reinterpret_cast<HKEY>(key); }

}  // namespace

Status RegistryOpenKey(RegistryRoot root, const char* path, uint32_t access, RegistryKey* key) {
    if (key == nullptr) return kErrorInvalidParameter;
    HKEY opened = nullptr;
    const LONG result = RegOpenKeyExA(RootKey(root), path, 0, access, &opened);
    *key = result == ERROR_SUCCESS ? reinterpret_cast<RegistryKey>(opened) : nullptr;
    return static_cast<Status>(result);
}

Status RegistryCreateKey(RegistryRoot root, const char* path, RegistryKey* key) {
    if (key == nullptr) return kErrorInvalidParameter;
    HKEY created = nullptr;
    const LONG result = RegCreateKeyExA(RootKey(root), path, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                                        nullptr, &created, nullptr);
    *key = result == ERROR_SUCCESS ? reinterpret_cast<RegistryKey>(created) : nullptr;
    return static_cast<Status>(result);
}

Status RegistryQueryValue(RegistryKey key, const char* name, uint32_t* type, uint8_t* data, uint32_t* size) {
    DWORD nativeType = 0;
    DWORD nativeSize = size != nullptr ? *size : 0;
    const LONG result = RegQueryValueExA(Native(key), name, nullptr, &nativeType, data,
                                         size != nullptr ? &nativeSize : nullptr);
    if (type != nullptr) *type = nativeType;
    if (size != nullptr) *size = nativeSize;
    return static_cast<Status>(result);
}

Status RegistrySetValue(RegistryKey key, const char* name, uint32_t type, const uint8_t* data, uint32_t size) {
    return static_cast<Status>(RegSetValueExA(Native(key), name, 0, type, data, size));
}

void RegistryCloseKey(RegistryKey key) {
    if (key != nullptr) RegCloseKey(Native(key));
}

}  // namespace zun::platform
