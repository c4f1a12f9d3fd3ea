#include "platform/embedded_resources.h"

#include <strings.h>

#include "platform/posix/embedded_file_table.h"

namespace zun::platform {

Status FindEmbeddedResource(const char* name, EmbeddedResource* resource) {
    if (name == nullptr || resource == nullptr) return ZUN_E_INVALID_ARG;
    for (size_t i = 0; i < posix::kEmbeddedFileCount; ++i) {
        const posix::EmbeddedFile& file = posix::kEmbeddedFiles[i];
        if (strcasecmp(file.name, name) != 0) continue;
        resource->data = file.data;
        resource->size = file.size;
        resource->contentType = ContentTypeOfName(file.name);
        return 0;
    }
    return ZUN_E_NOT_FOUND;
}

}  // namespace zun::platform
