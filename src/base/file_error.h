// The Win32 error number that stands for a C library file error, so that file
// failures read the same on every platform.
#pragma once

#include <cstdint>

namespace zun {

uint32_t Win32FileError(int error);

}  // namespace zun
