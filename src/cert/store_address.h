// The store's identity: which hosts are the vendor's store, judged by one
// parsed rule wherever a host matters (the store certificate's subject, the
// pages whose CartState the wizard reads).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace zun {

struct StoreAddress {
    // Lower case: LDH labels ending in the vendor's domain.
    std::string host;
    // 0 when the text names no port.
    uint16_t port = 0;
};

// True when `text` is exactly a store host: a DNS name of labels of
// letters, digits and "-" (any case, no empty label) that is the vendor's
// domain or ends in "." and the vendor's domain, optionally followed by ":"
// and a decimal port from 1 to 65535. Anything else in the text (a path, a
// query, user information, a backslash, a percent sign, a blank, a control
// character) fails it.
bool ParseStoreHost(std::string_view text, StoreAddress* out);

// "https://host[:port]" of a parsed store host.
std::string StoreOrigin(const StoreAddress& address);

// True when `url` is an https address on a store host: a page that may speak
// for the order.
bool IsStorePage(std::string_view url);

// The scheme and host of `url` without user information, path or query: what
// a trace line may say about a page that is not the store's.
std::string OriginForTrace(std::string_view url);

}  // namespace zun
