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

// The body of a page of the server at `address`; empty when it cannot be read.
inline std::string StorePage(const std::string& address, const std::string& path) {
    InetBlock session;
    if (session.OpenNetwork(address.c_str(), 0, 0) != 0) return "";
    Reply reply;
    if (session.PageGET(("http://" + address + path).c_str(), &reply.data, &reply.length) != 0) return "";
    return reply.Text();
}

inline std::string StorePage(const std::string& path) { return StorePage(StoreServer(), path); }

// The request lines the server has received so far.
inline std::string RequestLog() { return StorePage("/_requests"); }

// The secure store's certificate as base64 DER (the engine's CERTIFICATEBLOB)
// and the pin of its public key, for the browser's
// --ignore-certificate-errors-spki-list.
inline std::string StoreCertificate() { return StorePage("/_certificate"); }
inline std::string StoreCertificatePin() { return StorePage("/_pin"); }

// The body of the last "/secure/Prefill.aspx" request, byte for byte, and the
// Host and Content-Type it came with.
inline std::string PrefillBody() { return StorePage("/_prefill?part=body"); }
inline std::string PrefillHost() { return StorePage("/_prefill?part=host"); }
inline std::string PrefillContentType() { return StorePage("/_prefill?part=content_type"); }

// A loopback address where nothing listens (a port only a privileged
// program could open).
inline constexpr char kClosedStoreHost[] = "127.0.0.1:1";

}  // namespace zun::testing
