// A server address as the engine's settings and sessions give it: a host
// name or IPv4 address, or an IPv6 literal in brackets, each with an optional
// ":port".
#pragma once

#include <cstdint>
#include <string_view>

namespace zun {

struct HostAndPort {
    // The host as it goes into a URL: an IPv6 literal keeps its brackets.
    std::string_view host;
    // 0 when the text names no port.
    uint16_t port = 0;
};

// Splits "name", "name:port", "[v6]" or "[v6]:port". False for anything else:
// an empty host, characters that no host name holds (blanks, "/", "@", ...),
// a colon outside brackets that does not start a port, a port that is not a
// number from 1 to 65535.
bool SplitHostAndPort(std::string_view text, HostAndPort* out);

}  // namespace zun
