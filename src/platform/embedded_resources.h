// Embedded resources port: the pages and images the engine carries in its own
// module, found by file name ("WAIT.HTM"), letter case aside.
#pragma once

#include <cstddef>
#include <cstdint>

#include "base/status.h"

namespace zun::platform {

struct EmbeddedResource {
    // The bytes stay in the module for as long as it is loaded.
    const uint8_t* data = nullptr;
    size_t size = 0;
    const char* contentType = nullptr;
};

// ZUN_E_NOT_FOUND when the module carries no resource by that name.
Status FindEmbeddedResource(const char* name, EmbeddedResource* resource);

// The content type a browser is given for a file name, by its extension;
// "application/octet-stream" when the extension says nothing.
const char* ContentTypeOfName(const char* name);

}  // namespace zun::platform
