#include "platform/posix/embedded_origin.h"

#include <strings.h>

#include "platform/embedded_resources.h"
#include "platform/module.h"
#include "state/base64.h"

namespace zun::platform::posix {
namespace {

constexpr char kOrigin[] = "http://resources.invalid/";
constexpr char kScheme[] = "res://";
constexpr size_t kOriginLength = sizeof kOrigin - 1;
constexpr char kNotFound[] = "404 Not Found";

bool StartsWith(const std::string& text, const char* prefix) {
    const size_t length = std::char_traits<char>::length(prefix);
    return text.size() >= length && strncasecmp(text.c_str(), prefix, length) == 0;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The resource name of a URL of the origin: its path without query or
// fragment, with the browser's %XX escapes undone.
std::string ResourceNameOf(const std::string& url) {
    const std::string path = url.substr(kOriginLength, url.find_first_of("?#") - kOriginLength);
    std::string name;
    for (size_t i = 0; i < path.size(); ++i) {
        if (path[i] == '%' && i + 2 < path.size() && HexValue(path[i + 1]) >= 0 && HexValue(path[i + 2]) >= 0) {
            name += static_cast<char>(HexValue(path[i + 1]) * 16 + HexValue(path[i + 2]));
            i += 2;
        } else {
            name += path[i];
        }
    }
    return name;
}

}  // namespace

Json EmbeddedOriginPattern() { return {{"urlPattern", std::string(kOrigin) + "*"}, {"requestStage", "Request"}}; }

bool IsEmbeddedOriginUrl(const std::string& url) { return StartsWith(url, kOrigin); }

std::string BrowserUrlOf(const std::string& url) {
    if (!StartsWith(url, kScheme)) return url;
    // Whatever module path the URL names, the resources are the engine's own.
    const size_t slash = url.rfind('/');
    const std::string name = slash < sizeof kScheme - 1 ? std::string() : url.substr(slash + 1);
    return kOrigin + name;
}

std::string EngineUrlOf(const std::string& url) {
    if (!IsEmbeddedOriginUrl(url)) return url;
    char modulePath[4096];
    if (GetEngineModulePath(modulePath, sizeof modulePath) != 0) modulePath[0] = '\0';
    return kScheme + std::string(modulePath) + "/" + url.substr(kOriginLength);
}

Json EmbeddedResponse(const std::string& requestId, const std::string& url) {
    EmbeddedResource resource;
    const std::string name = IsEmbeddedOriginUrl(url) ? ResourceNameOf(url) : std::string();
    const bool found = name.find('\0') == std::string::npos && FindEmbeddedResource(name.c_str(), &resource) == 0;
    if (!found) {
        resource.data = reinterpret_cast<const uint8_t*>(kNotFound);
        resource.size = sizeof kNotFound - 1;
        resource.contentType = "text/plain";
    }
    return {{"requestId", requestId},
            {"responseCode", found ? 200 : 404},
            {"responseHeaders", Json::array({{{"name", "Content-Type"}, {"value", resource.contentType}}})},
            {"body", EncodeBase64(resource.data, resource.size)}};
}

}  // namespace zun::platform::posix
