#include "update/engine_file.h"

#include <cstdint>
#include <cstdio>

#include "base/byte_order.h"
#include "base/unique_handle.h"

namespace zun {
namespace {

void CloseFile(std::FILE* file) { std::fclose(file); }
using FileOwner = UniqueHandle<std::FILE*, &CloseFile>;

// Enough for the ELF header and for a PE header behind an ordinary DOS stub.
constexpr size_t kHeaderBytes = 4096;

// The machine number this code was built for, as its module header names it.
#if defined(_WIN32) && defined(__x86_64__)
constexpr uint16_t kMachine = 0x8664;
#elif defined(_WIN32) && defined(__i386__)
constexpr uint16_t kMachine = 0x14C;
#elif defined(_WIN32) && defined(__aarch64__)
constexpr uint16_t kMachine = 0xAA64;
#elif defined(__x86_64__)
constexpr uint16_t kMachine = 62;
#elif defined(__i386__)
constexpr uint16_t kMachine = 3;
#elif defined(__aarch64__)
constexpr uint16_t kMachine = 183;
#else
#error "the engine file check knows no machine number for this target"
#endif

#ifdef _WIN32
const char* WrongHeaderReason(const uint8_t* head, size_t size) {
    constexpr uint16_t kDll = 0x2000;
    if (size < 0x40 || head[0] != 'M' || head[1] != 'Z') return "it is not a Windows module";
    const uint32_t at = LoadLittleEndian32(head + 0x3C);
    if (at > size - 24 || head[at] != 'P' || head[at + 1] != 'E' || head[at + 2] != 0 || head[at + 3] != 0) {
        return "it has no PE header";
    }
    if (LoadLittleEndian16(head + at + 4) != kMachine) return "it is built for another machine";
    if ((LoadLittleEndian16(head + at + 22) & kDll) == 0) return "it is not a DLL";
    return nullptr;
}
#else
const char* WrongHeaderReason(const uint8_t* head, size_t size) {
    constexpr uint8_t kClass = sizeof(void*) == 8 ? 2 : 1;
    constexpr uint8_t kLittleEndian = 1;
    constexpr uint16_t kSharedObject = 3;
    if (size < 20 || head[0] != 0x7F || head[1] != 'E' || head[2] != 'L' || head[3] != 'F') {
        return "it is not an ELF module";
    }
    if (head[4] != kClass || head[5] != kLittleEndian || LoadLittleEndian16(head + 18) != kMachine) {
        return "it is built for another machine";
    }
    if (LoadLittleEndian16(head + 16) != kSharedObject) return "it is not a shared library";
    return nullptr;
}
#endif

}  // namespace

const char* WrongModuleReason(const char* path) {
    const FileOwner file(path != nullptr ? std::fopen(path, "rb") : nullptr);
    if (!file) return "it cannot be read";
    uint8_t head[kHeaderBytes];
    const size_t size = std::fread(head, 1, sizeof head, file.Get());
    return WrongHeaderReason(head, size);
}

int CompareFileVersions(const platform::FileVersion& a, const platform::FileVersion& b) {
    const uint16_t left[] = {a.major, a.minor, a.build, a.revision};
    const uint16_t right[] = {b.major, b.minor, b.build, b.revision};
    for (size_t part = 0; part < 4; ++part) {
        if (left[part] != right[part]) return left[part] < right[part] ? -1 : 1;
    }
    return 0;
}

bool IsUnknownVersion(const platform::FileVersion& version) {
    return CompareFileVersions(version, platform::FileVersion{}) == 0;
}

}  // namespace zun
