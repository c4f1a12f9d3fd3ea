// The store host: the engine-wide name of the store server that every store
// request goes to. It may carry a port ("127.0.0.1:8080", "[::1]:8080").
#pragma once

#include <cstddef>

#include "base/status.h"

namespace zun {

inline constexpr size_t kStoreHostSize = 256;

// The store server's host name unless the environment variable
// ZUN_STORE_HOST, read when the engine loads, names another (for tests,
// staging and demonstrations).
inline constexpr char kDefaultStoreHost[] = "store.orvella.com";

// The writable, zero-terminated host text of kStoreHostSize bytes.
char* StoreHost();

// 0 when the store host names a server; ZUN_E_INVALID_ARG, traced, when it
// does not. A ZUN_STORE_HOST value that cannot be used (too long, no host
// name) leaves the store host empty: every store request then fails here,
// and none goes to the production server in its place.
Status CheckStoreHost();

// The store host that a ZUN_STORE_HOST value gives, into `out`: the default
// for a null or empty value, the value itself when it is a host with an
// optional port that fits. Otherwise ZUN_E_INVALID_ARG and an empty `out`.
Status StoreHostFromSetting(const char* setting, char* out, size_t outSize);

}  // namespace zun
