#include "platform/embedded_resources.h"

#include <windows.h>

#include "platform/win32/engine_module.h"

namespace zun::platform {
namespace {

// The engine's pages and images are RT_HTML resources named by file name.
constexpr WORD kHtmlResourceType = 23;

}  // namespace

Status FindEmbeddedResource(const char* name, EmbeddedResource* resource) {
    if (name == nullptr || resource == nullptr) return ZUN_E_INVALID_ARG;
    const HMODULE module = EngineModule();
    if (module == nullptr) return ZUN_E_NOT_FOUND;
    const HRSRC found = FindResourceA(module, name, MAKEINTRESOURCEA(kHtmlResourceType));
    if (found == nullptr) return ZUN_E_NOT_FOUND;
    const HGLOBAL loaded = LoadResource(module, found);
    const void* data = loaded == nullptr ? nullptr : LockResource(loaded);
    if (data == nullptr) return ZUN_E_NOT_FOUND;
    resource->data = static_cast<const uint8_t*>(data);
    resource->size = SizeofResource(module, found);
    resource->contentType = ContentTypeOfName(name);
    return 0;
}

}  // namespace zun::platform
