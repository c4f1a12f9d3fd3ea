// The local store server the network tests talk to, and what it logged.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "base/engine_heap.h"
#include "net/inetblock.h"

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

// The request lines the server has received so far.
inline std::string RequestLog() {
    InetBlock session;
    if (session.OpenNetwork(StoreServer().c_str(), 0, 0) != 0) return "";
    Reply reply;
    if (session.PageGET(StoreUrl("/_requests").c_str(), &reply.data, &reply.length) != 0) return "";
    return reply.Text();
}

// A loopback address where nothing listens (a port only a privileged
// program could open).
inline constexpr char kClosedStoreHost[] = "127.0.0.1:1";

}  // namespace zun::testing
