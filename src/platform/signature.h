// Signature port: SHA-256 of a file's bytes, taken while they are written,
// and the check of an ECDSA P-256 signature over that digest with a public
// key the engine was built with. The platform's own crypto does both.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace zun::platform::signature {

inline constexpr size_t kDigestSize = 32;

class Sha256 {
public:
    Sha256();
    ~Sha256();
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;

    // False once any step has failed; the digest is then never handed out.
    bool Update(const void* data, size_t size);
    // Starts afresh, as for no bytes at all.
    bool Restart();
    bool Finish(uint8_t (&digest)[kDigestSize]);

private:
    struct State;
    std::unique_ptr<State> _state;
};

// True when `der` (an ECDSA signature, DER SEQUENCE of r and s, as OpenSSL
// writes it) signs `digest` with the P-256 key `spki` (DER
// SubjectPublicKeyInfo). False for every malformed input.
bool VerifyDigest(const uint8_t* spki, size_t spkiSize, const uint8_t (&digest)[kDigestSize], const uint8_t* der,
                  size_t derSize);

}  // namespace zun::platform::signature
