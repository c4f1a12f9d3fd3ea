#include "platform/signature.h"

#include <openssl/evp.h>
#include <openssl/obj_mac.h>
#include <openssl/x509.h>

#include <string_view>

namespace zun::platform::signature {
namespace {

struct DigestContextFree {
    void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
};
struct KeyFree {
    void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
struct KeyContextFree {
    void operator()(EVP_PKEY_CTX* context) const { EVP_PKEY_CTX_free(context); }
};

}  // namespace

struct Sha256::State {
    std::unique_ptr<EVP_MD_CTX, DigestContextFree> context{EVP_MD_CTX_new()};
    bool good = false;
};

Sha256::Sha256() : _state(std::make_unique<State>()) { Restart(); }

Sha256::~Sha256() = default;

bool Sha256::Restart() {
    _state->good = _state->context && EVP_DigestInit_ex(_state->context.get(), EVP_sha256(), nullptr) == 1;
    return _state->good;
}

bool Sha256::Update(const void* data, size_t size) {
    if (_state->good) _state->good = EVP_DigestUpdate(_state->context.get(), data, size) == 1;
    return _state->good;
}

bool Sha256::Finish(uint8_t (&digest)[kDigestSize]) {
    unsigned int length = 0;
    if (_state->good) _state->good = EVP_DigestFinal_ex(_state->context.get(), digest, &length) == 1;
    _state->good = _state->good && length == kDigestSize;
    return _state->good;
}

bool VerifyDigest(const uint8_t* spki, size_t spkiSize, const uint8_t (&digest)[kDigestSize], const uint8_t* der,
                  size_t derSize) {
    if (spki == nullptr || der == nullptr || spkiSize > 1024) return false;
    const unsigned char* cursor = spki;
    const std::unique_ptr<EVP_PKEY, KeyFree> key(d2i_PUBKEY(nullptr, &cursor, static_cast<long>(spkiSize)));
    char group[32] = {};
    size_t groupLength = 0;
    if (!key || cursor != spki + spkiSize || EVP_PKEY_get_base_id(key.get()) != EVP_PKEY_EC ||
        EVP_PKEY_get_group_name(key.get(), group, sizeof group, &groupLength) != 1 ||
        std::string_view(group, groupLength) != SN_X9_62_prime256v1) {
        return false;
    }
    const std::unique_ptr<EVP_PKEY_CTX, KeyContextFree> context(EVP_PKEY_CTX_new(key.get(), nullptr));
    return context && EVP_PKEY_verify_init(context.get()) == 1 &&
           EVP_PKEY_CTX_set_signature_md(context.get(), EVP_sha256()) == 1 &&
           EVP_PKEY_verify(context.get(), der, derSize, digest, kDigestSize) == 1;
}

}  // namespace zun::platform::signature
