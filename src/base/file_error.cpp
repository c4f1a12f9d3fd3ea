#include "base/file_error.h"

#include <cerrno>

namespace zun {
namespace {

constexpr uint32_t kErrorPathNotFound = 3;
constexpr uint32_t kErrorAccessDenied = 5;
constexpr uint32_t kErrorWriteFault = 29;
constexpr uint32_t kErrorDiskFull = 112;
constexpr uint32_t kErrorFilenameExcedRange = 206;

}  // namespace

uint32_t Win32FileError(int error) {
    switch (error) {
        case ENOENT:
        case ENOTDIR:
            return kErrorPathNotFound;
        case EACCES:
        case EPERM:
        case EISDIR:
            return kErrorAccessDenied;
        case ENOSPC:
            return kErrorDiskFull;
        case ENAMETOOLONG:
            return kErrorFilenameExcedRange;
        default:
            return kErrorWriteFault;
    }
}

}  // namespace zun
