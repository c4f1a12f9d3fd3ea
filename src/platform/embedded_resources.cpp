#include "platform/embedded_resources.h"

#include <strings.h>

#include <cstring>

namespace zun::platform {

const char* ContentTypeOfName(const char* name) {
    static const struct {
        const char* extension;
        const char* contentType;
    } kTypes[] = {
        {".htm", "text/html"},  {".html", "text/html"},      {".gif", "image/gif"},
        {".png", "image/png"},  {".jpg", "image/jpeg"},      {".jpeg", "image/jpeg"},
        {".ico", "image/x-icon"}, {".css", "text/css"},      {".js", "text/javascript"},
        {".txt", "text/plain"},
    };
    const char* dot = name == nullptr ? nullptr : std::strrchr(name, '.');
    if (dot != nullptr && std::strchr(dot, '/') == nullptr) {
        for (const auto& type : kTypes) {
            if (strcasecmp(dot, type.extension) == 0) return type.contentType;
        }
    }
    return "application/octet-stream";
}

}  // namespace zun::platform
