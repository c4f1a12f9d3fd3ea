// The engine's embedded files as byte arrays, generated at build time from
// the list in src/resources.
#pragma once

#include <cstddef>

namespace zun::platform::posix {

struct EmbeddedFile {
    const char* name;
    const unsigned char* data;
    size_t size;
};

extern const EmbeddedFile kEmbeddedFiles[];
extern const size_t kEmbeddedFileCount;

}  // namespace zun::platform::posix
