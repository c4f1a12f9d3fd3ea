// The local store server the network tests talk to, and what it logged.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "base/bounded_text.h"
#include "base/engine_heap.h"
#include "net/inetblock.h"
#include "net/store_host.h"

namespace zun::testing {

// host:port of the server: the test environment hands it to the engine as
// its store host.
inline std::string StoreServer() {
    const char* address = std::getenv("ZUN_STORE_HOST");
    return address != nullptr ? address : "";
}

inline std::string StoreUrl(const std::string& path) { return "http://" + StoreServer() + path; }

// A reply buffer of the engine's heap, released with the test.
struct Reply {
    uint8_t* data = nullptr;
    uint32_t length = 0xFFFFFFFF;
    ~Reply() { heap::Release(data); }
    std::string Text() const { return data != nullptr ? std::string(reinterpret_cast<char*>(data), length) : ""; }
};

// GETs a page of the server into `reply`.
inline Status Get(InetBlock& session, const std::string& path, Reply& reply) {
    return session.PageGET(StoreUrl(path).c_str(), &reply.data, &reply.length);
}

// The body of a page of the server at `address`; empty when it cannot be read.
inline std::string StorePage(const std::string& address, const std::string& path) {
    InetBlock session;
    Reply reply;
    if (session.OpenNetwork(address.c_str(), 0, 0) != 0) return "";
    if (session.PageGET(("http://" + address + path).c_str(), &reply.data, &reply.length) != 0) return "";
    return reply.Text();
}

inline std::string StorePage(const std::string& path) { return StorePage(StoreServer(), path); }

// The request lines the server has received so far.
inline std::string RequestLog() { return StorePage("/_requests"); }

// The secure store's certificate as base64 DER (the engine's CERTIFICATEBLOB).
inline std::string StoreCertificate() { return StorePage("/_certificate"); }

// A loopback address where nothing listens (a port only a privileged
// program could open).
inline constexpr char kClosedStoreHost[] = "127.0.0.1:1";

// Points the engine at another store host for one test.
class StoreHostOverride {
public:
    explicit StoreHostOverride(const char* host) {
        CopyText(_saved, StoreHost());
        CopyText(StoreHost(), kStoreHostSize, host);
    }
    ~StoreHostOverride() { CopyText(StoreHost(), kStoreHostSize, _saved); }

private:
    char _saved[kStoreHostSize];
};

}  // namespace zun::testing
