// The public keys whose signature makes a downloaded engine build trusted.
// They are fixed when the engine is built (ZUN_UPDATE_KEYS); nothing at run
// time can add one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace zun {

struct UpdateKey {
    // A P-256 public key as DER SubjectPublicKeyInfo.
    const uint8_t* spki;
    size_t size;
};

// Empty for an engine built without keys: it refuses every update.
std::span<const UpdateKey> TrustedUpdateKeys();

}  // namespace zun
