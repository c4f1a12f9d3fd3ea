// The store host: the engine-wide name of the store server that every store
// request goes to. It may carry a port ("127.0.0.1:8080").
#pragma once

#include <cstddef>

namespace zun {

inline constexpr size_t kStoreHostSize = 256;

// The store server's host name unless the environment variable
// ZUN_STORE_HOST, read when the engine loads, names another (for tests,
// staging and demonstrations).
inline constexpr char kDefaultStoreHost[] = "store.orvella.com";

// The writable, zero-terminated host text of kStoreHostSize bytes.
char* StoreHost();

}  // namespace zun
