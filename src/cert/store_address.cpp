#include "cert/store_address.h"

#include <algorithm>

#include "base/ascii_text.h"
#include "cert/vendor_domain.h"
#include "net/host_port.h"

namespace zun {
namespace {

constexpr size_t kMaxLabel = 63;
constexpr size_t kMaxName = 253;
constexpr std::string_view kSecureScheme = "https://";

bool IsLdhLabel(std::string_view label) {
    if (label.empty() || label.size() > kMaxLabel) return false;
    return std::all_of(label.begin(), label.end(), [](unsigned char c) {
        return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-';
    });
}

// The authority of an absolute URL: what lies between "://" and the first
// "/", "?", "#" or backslash. Empty when the URL has no "://".
std::string_view AuthorityOf(std::string_view url, std::string_view* scheme) {
    const size_t separator = url.find("://");
    if (separator == std::string_view::npos) return {};
    *scheme = url.substr(0, separator + 3);
    const std::string_view rest = url.substr(separator + 3);
    return rest.substr(0, rest.find_first_of("/?#\\"));
}

}  // namespace

bool ParseStoreHost(std::string_view text, StoreAddress* out) {
    HostAndPort split;
    // An IPv6 literal is no DNS name.
    if (text.empty() || text.front() == '[' || !SplitHostAndPort(text, &split)) return false;
    const std::string host = AsciiLowered(split.host);
    if (host.size() > kMaxName) return false;
    const std::string_view domain = std::string_view(kVendorDomainSuffix).substr(1);
    if (host != domain && !std::string_view(host).ends_with(kVendorDomainSuffix)) return false;
    size_t start = 0;
    for (;;) {
        const size_t dot = host.find('.', start);
        if (!IsLdhLabel(std::string_view(host).substr(start, dot - start))) return false;
        if (dot == std::string::npos) break;
        start = dot + 1;
    }
    out->host = host;
    out->port = split.port;
    return true;
}

std::string StoreOrigin(const StoreAddress& address) {
    std::string origin = std::string(kSecureScheme) + address.host;
    if (address.port != 0) origin += ":" + std::to_string(address.port);
    return origin;
}

bool IsStorePage(std::string_view url) {
    std::string_view scheme;
    const std::string_view authority = AuthorityOf(url, &scheme);
    StoreAddress address;
    return AsciiLowered(scheme) == kSecureScheme && ParseStoreHost(authority, &address);
}

std::string OriginForTrace(std::string_view url) {
    std::string_view scheme;
    std::string_view authority = AuthorityOf(url, &scheme);
    if (scheme.empty()) {
        // "about:", "data:", ...: the scheme alone.
        const size_t colon = url.find(':');
        return colon == std::string_view::npos ? std::string() : std::string(url.substr(0, colon + 1));
    }
    const size_t user = authority.rfind('@');
    if (user != std::string_view::npos) authority.remove_prefix(user + 1);
    return std::string(scheme) + std::string(authority);
}

}  // namespace zun
