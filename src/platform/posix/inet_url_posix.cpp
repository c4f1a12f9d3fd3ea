// URL cracking for the internet port: scheme, host, port, and the path with
// its query, as the system's own URL cracker splits them.
#include <strings.h>

#include <cstring>
#include <string_view>

#include "platform/inet.h"

namespace zun::platform::inet {
namespace {

uint32_t CopyPart(std::string_view part, char* out, uint32_t outSize) {
    if (out == nullptr) return 0;
    if (part.size() >= outSize) return kErrorInsufficientBuffer;
    if (!part.empty()) std::memcpy(out, part.data(), part.size());
    out[part.size()] = '\0';
    return 0;
}

}  // namespace

uint32_t CrackUrl(const char* url, UrlParts* parts) {
    if (url == nullptr || parts == nullptr) return kErrorInvalidUrl;
    std::string_view rest(url);
    const size_t schemeEnd = rest.find("://");
    if (schemeEnd == std::string_view::npos) return kErrorUnrecognizedScheme;
    const std::string_view scheme = rest.substr(0, schemeEnd);
    if (scheme.size() == 4 && strncasecmp(scheme.data(), "http", 4) == 0) {
        parts->scheme = kSchemeHttp;
        parts->port = 80;
    } else if (scheme.size() == 5 && strncasecmp(scheme.data(), "https", 5) == 0) {
        parts->scheme = kSchemeHttps;
        parts->port = 443;
    } else {
        return kErrorUnrecognizedScheme;
    }
    rest.remove_prefix(schemeEnd + 3);
    const size_t authorityEnd = rest.find_first_of("/?#");
    std::string_view authority = rest.substr(0, authorityEnd);
    const std::string_view path = authorityEnd == std::string_view::npos ? std::string_view{} : rest.substr(authorityEnd);
    const size_t userEnd = authority.rfind('@');
    if (userEnd != std::string_view::npos) authority.remove_prefix(userEnd + 1);
    const size_t colon = authority.rfind(':');
    std::string_view host = authority;
    if (colon != std::string_view::npos && authority.find(']', colon) == std::string_view::npos) {
        host = authority.substr(0, colon);
        const std::string_view portText = authority.substr(colon + 1);
        if (portText.empty() || portText.size() > 5) return kErrorInvalidUrl;
        uint32_t port = 0;
        for (const char c : portText) {
            if (c < '0' || c > '9') return kErrorInvalidUrl;
            port = port * 10 + static_cast<uint32_t>(c - '0');
        }
        if (port == 0 || port > 0xFFFF) return kErrorInvalidUrl;
        parts->port = static_cast<uint16_t>(port);
    }
    if (host.empty()) return kErrorInvalidUrl;
    if (const uint32_t error = CopyPart(host, parts->host, parts->hostSize)) return error;
    return CopyPart(path, parts->path, parts->pathSize);
}

}  // namespace zun::platform::inet
