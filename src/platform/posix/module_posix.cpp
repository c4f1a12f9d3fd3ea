#include "platform/module.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "base/bounded_text.h"
#include "base/file_error.h"
#include "platform/posix/descriptor.h"
#include "platform/posix/version_mark.h"

namespace zun::platform {
namespace {

// Each module's build links its version mark (version_mark_posix.cpp); this
// reference keeps it in programs that link the engine statically too.
[[gnu::used]] const char* const kLinkedVersionMark = kVersionMark;

// Parses "a.b.c.d" (each number 0..65535) at the start of `text`.
bool ParseVersion(std::string_view text, FileVersion* version) {
    uint16_t* parts[] = {&version->major, &version->minor, &version->build, &version->revision};
    size_t at = 0;
    for (size_t part = 0; part < 4; ++part) {
        if (part > 0) {
            if (at >= text.size() || text[at] != '.') return false;
            ++at;
        }
        unsigned long value = 0;
        const size_t start = at;
        while (at < text.size() && text[at] >= '0' && text[at] <= '9' && at - start < 6) {
            value = value * 10 + static_cast<unsigned long>(text[at] - '0');
            ++at;
        }
        if (at == start || value > 0xFFFF) return false;
        *parts[part] = static_cast<uint16_t>(value);
    }
    return true;
}

FileVersion FindVersionMark(std::string_view file) {
    const std::string_view prefix(kVersionMarkPrefix);
    for (size_t at = file.find(prefix); at != std::string_view::npos; at = file.find(prefix, at + 1)) {
        FileVersion version;
        if (ParseVersion(file.substr(at + prefix.size()), &version)) return version;
    }
    return {};
}

}  // namespace

Status GetEngineModulePath(char* buffer, size_t size) {
    Dl_info info{};
    const char* name = nullptr;
    if (dladdr(reinterpret_cast<void*>(&GetEngineModulePath), &info) != 0 && info.dli_fname != nullptr &&
        info.dli_fname[0] != '\0') {
        name = info.dli_fname;
    } else {
        name = "/proc/self/exe";
    }
    char resolved[PATH_MAX];
    if (realpath(name, resolved) != nullptr) return CopyText(buffer, size, resolved);
    return CopyText(buffer, size, name);
}

FileVersion ReadFileVersion(const char* path) {
    if (path == nullptr) return {};
    const posix::Descriptor fd(open(path, O_RDONLY | O_CLOEXEC));
    if (!fd) return {};
    FileVersion version;
    struct stat info {};
    if (fstat(fd.Get(), &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0) {
        const size_t length = static_cast<size_t>(info.st_size);
        void* mapped = mmap(nullptr, length, PROT_READ, MAP_PRIVATE, fd.Get(), 0);
        if (mapped != MAP_FAILED) {
            version = FindVersionMark({static_cast<const char*>(mapped), length});
            munmap(mapped, length);
        }
    }
    return version;
}

Status CreateTempFile(const char* prefix, char* path, size_t size, CreatedFile* file) {
    if (prefix == nullptr || path == nullptr || size == 0 || file == nullptr) return ZUN_E_INVALID_ARG;
    path[0] = '\0';
    // $TMPDIR when it names an absolute directory, as the C library's own
    // temporary files do; /tmp otherwise.
    const char* directory = std::getenv("TMPDIR");
    if (directory == nullptr || directory[0] != '/') directory = "/tmp";
    constexpr char kSuffix[] = ".tmp";
    char name[PATH_MAX];
    if (FormatText(name, sizeof name, "%s/%sXXXXXX%s", directory, prefix, kSuffix) != 0) {
        return Win32FileError(ENAMETOOLONG);
    }
    // mkostemps creates the file with mode 0600.
    posix::Descriptor fd(mkostemps(name, sizeof kSuffix - 1, O_CLOEXEC));
    if (!fd) return Win32FileError(errno);
    const Status copied = CopyText(path, size, name);
    if (copied != 0) {
        unlink(name);
        path[0] = '\0';
        return copied;
    }
    file->Close();
    file->_handle = fd.Release();
    return 0;
}

Status CreatedFile::Write(const void* data, size_t size) {
    const auto* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t written = write(static_cast<int>(_handle), bytes, size);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return Win32FileError(written < 0 ? errno : ENOSPC);
        bytes += written;
        size -= static_cast<size_t>(written);
    }
    return 0;
}

Status CreatedFile::Truncate() {
    const int fd = static_cast<int>(_handle);
    if (ftruncate(fd, 0) != 0 || lseek(fd, 0, SEEK_SET) != 0) return Win32FileError(errno);
    return 0;
}

Status CreatedFile::Close() {
    if (_handle == kNone) return 0;
    const int fd = static_cast<int>(_handle);
    _handle = kNone;
    return close(fd) == 0 ? 0 : Win32FileError(errno);
}

}  // namespace zun::platform
