#include "net/host_port.h"

namespace zun {
namespace {

constexpr size_t kMaxPortDigits = 5;

bool IsNameCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
           c == '_';
}

bool IsHexDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

// An IPv6 literal between its brackets: hex digits, colons, and dots of an
// embedded IPv4 address.
bool IsIpv6Literal(std::string_view text) {
    if (text.find(':') == std::string_view::npos) return false;
    for (const char c : text) {
        if (!IsHexDigit(c) && c != ':' && c != '.') return false;
    }
    return true;
}

bool ParsePort(std::string_view text, uint16_t* port) {
    if (text.empty() || text.size() > kMaxPortDigits) return false;
    uint32_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + static_cast<uint32_t>(c - '0');
    }
    if (value == 0 || value > 0xFFFF) return false;
    *port = static_cast<uint16_t>(value);
    return true;
}

}  // namespace

bool SplitHostAndPort(std::string_view text, HostAndPort* out) {
    std::string_view host;
    std::string_view rest;
    if (!text.empty() && text.front() == '[') {
        const size_t close = text.find(']');
        if (close == std::string_view::npos || !IsIpv6Literal(text.substr(1, close - 1))) return false;
        host = text.substr(0, close + 1);
        rest = text.substr(close + 1);
    } else {
        const size_t colon = text.find(':');
        host = text.substr(0, colon);
        rest = colon == std::string_view::npos ? std::string_view{} : text.substr(colon);
        if (host.empty()) return false;
        for (const char c : host) {
            if (!IsNameCharacter(c)) return false;
        }
    }
    uint16_t port = 0;
    if (!rest.empty() && (rest.front() != ':' || !ParsePort(rest.substr(1), &port))) return false;
    out->host = host;
    out->port = port;
    return true;
}

}  // namespace zun
