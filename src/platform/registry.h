// Registry port: keys under the current user and the machine, and their
// REG_SZ, REG_BINARY and REG_MULTI_SZ values, with the system registry's
// semantics: results are Win32 error numbers (0 success,
// ERROR_FILE_NOT_FOUND for a missing key or value, ERROR_MORE_DATA when a
// query's buffer is too small, with the size needed reported back).
#pragma once

#include <cstdint>

#include "base/status.h"
#include "base/unique_handle.h"

namespace zun::platform {

enum class RegistryRoot { CurrentUser, LocalMachine };

// Value types, numbered as the system registry numbers them.
inline constexpr uint32_t kRegSz = 1;
inline constexpr uint32_t kRegBinary = 3;
inline constexpr uint32_t kRegMultiSz = 7;

// Error numbers the port returns besides those the system passes on.
inline constexpr Status kErrorFileNotFound = 2;
inline constexpr Status kErrorAccessDenied = 5;
inline constexpr Status kErrorInvalidHandle = 6;
inline constexpr Status kErrorInvalidParameter = 87;
inline constexpr Status kErrorMoreData = 234;
inline constexpr Status kErrorRegistryIoFailed = 1016;

// Access rights asked for when opening a key.
inline constexpr uint32_t kKeyQueryValue = 0x0001;
inline constexpr uint32_t kKeyAllAccess = 0xF003F;

struct RegistryKeyHandle;
using RegistryKey = RegistryKeyHandle*;

// Opens an existing key (path relative to the root, parts separated by "\",
// compared without regard to letter case).
Status RegistryOpenKey(RegistryRoot root, const char* path, uint32_t access, RegistryKey* key);
// Opens a key with all access, creating it and its missing parents,
// non-volatile.
Status RegistryCreateKey(RegistryRoot root, const char* path, RegistryKey* key);
// Reads a value (null or empty name: the key's default value). With a null
// `data` only the type and size are reported. A buffer smaller than the value
// gives kErrorMoreData and the size needed in *size.
Status RegistryQueryValue(RegistryKey key, const char* name, uint32_t* type, uint8_t* data, uint32_t* size);
// Writes a value as one indivisible step: a reader sees the old bytes or the
// new ones, never a mix.
Status RegistrySetValue(RegistryKey key, const char* name, uint32_t type, const uint8_t* data, uint32_t size);
void RegistryCloseKey(RegistryKey key);

// An open key, closed when its owner goes.
using RegistryKeyOwner = UniqueHandle<RegistryKey, &RegistryCloseKey>;

}  // namespace zun::platform
