#include "platform/signature.h"

// clang-format off
#include <windows.h>
#include <bcrypt.h>
#include <wincrypt.h>
// clang-format on

#include <algorithm>
#include <cstring>

namespace zun::platform::signature {
namespace {

constexpr size_t kCoordinateSize = 32;
// The DER of a P-256 SubjectPublicKeyInfo up to its uncompressed point
// (0x04, X, Y), which is all that differs between two keys.
constexpr uint8_t kP256KeyPrefix[] = {0x30, 0x59, 0x30, 0x13, 0x06, 0x07, 0x2a, 0x86, 0x48,
                                      0xce, 0x3d, 0x02, 0x01, 0x06, 0x08, 0x2a, 0x86, 0x48,
                                      0xce, 0x3d, 0x03, 0x01, 0x07, 0x03, 0x42, 0x00, 0x04};

bool Succeeded(NTSTATUS status) { return status >= 0; }

class Algorithm {
public:
    explicit Algorithm(const wchar_t* name) {
        if (!Succeeded(BCryptOpenAlgorithmProvider(&_handle, name, nullptr, 0))) _handle = nullptr;
    }
    ~Algorithm() {
        if (_handle != nullptr) BCryptCloseAlgorithmProvider(_handle, 0);
    }
    Algorithm(const Algorithm&) = delete;
    Algorithm& operator=(const Algorithm&) = delete;
    BCRYPT_ALG_HANDLE Get() const { return _handle; }

private:
    BCRYPT_ALG_HANDLE _handle = nullptr;
};

class Key {
public:
    ~Key() {
        if (_handle != nullptr) BCryptDestroyKey(_handle);
    }
    BCRYPT_KEY_HANDLE* Out() { return &_handle; }
    BCRYPT_KEY_HANDLE Get() const { return _handle; }

private:
    BCRYPT_KEY_HANDLE _handle = nullptr;
};

struct DecodedSignature {
    ~DecodedSignature() { LocalFree(value); }
    CERT_ECC_SIGNATURE* value = nullptr;
};

// One integer of the decoded signature (little-endian) as the big-endian,
// left-padded coordinate CNG expects. False when it does not fit.
bool PutCoordinate(const CRYPT_UINT_BLOB& blob, uint8_t* out) {
    size_t size = blob.cbData;
    while (size > kCoordinateSize && blob.pbData[size - 1] == 0) --size;
    if (size > kCoordinateSize) return false;
    std::memset(out, 0, kCoordinateSize);
    for (size_t at = 0; at < size; ++at) out[kCoordinateSize - 1 - at] = blob.pbData[at];
    return true;
}

}  // namespace

struct Sha256::State {
    Algorithm algorithm{BCRYPT_SHA256_ALGORITHM};
    BCRYPT_HASH_HANDLE hash = nullptr;
    bool good = false;

    void Close() {
        if (hash != nullptr) BCryptDestroyHash(hash);
        hash = nullptr;
    }
    ~State() { Close(); }
};

Sha256::Sha256() : _state(std::make_unique<State>()) { Restart(); }

Sha256::~Sha256() = default;

bool Sha256::Restart() {
    _state->Close();
    _state->good = _state->algorithm.Get() != nullptr &&
                   Succeeded(BCryptCreateHash(_state->algorithm.Get(), &_state->hash, nullptr, 0, nullptr, 0, 0));
    return _state->good;
}

bool Sha256::Update(const void* data, size_t size) {
    // BCryptHashData takes at most 4 GiB at a time.
    const auto* bytes = static_cast<const uint8_t*>(data);
    while (_state->good && size > 0) {
        const ULONG piece = static_cast<ULONG>(std::min<size_t>(size, 0x40000000));
        _state->good = Succeeded(BCryptHashData(_state->hash, const_cast<PUCHAR>(bytes), piece, 0));
        bytes += piece;
        size -= piece;
    }
    return _state->good;
}

bool Sha256::Finish(uint8_t (&digest)[kDigestSize]) {
    if (_state->good) _state->good = Succeeded(BCryptFinishHash(_state->hash, digest, kDigestSize, 0));
    _state->Close();
    return _state->good;
}

bool VerifyDigest(const uint8_t* spki, size_t spkiSize, const uint8_t (&digest)[kDigestSize], const uint8_t* der,
                  size_t derSize) {
    if (spki == nullptr || der == nullptr || derSize == 0 || derSize > 1024 ||
        spkiSize != sizeof kP256KeyPrefix + 2 * kCoordinateSize ||
        std::memcmp(spki, kP256KeyPrefix, sizeof kP256KeyPrefix) != 0) {
        return false;
    }
    struct {
        BCRYPT_ECCKEY_BLOB header;
        uint8_t point[2 * kCoordinateSize];
    } blob{};
    blob.header.dwMagic = BCRYPT_ECDSA_PUBLIC_P256_MAGIC;
    blob.header.cbKey = kCoordinateSize;
    std::memcpy(blob.point, spki + sizeof kP256KeyPrefix, sizeof blob.point);

    // The DER SEQUENCE of r and s becomes r || s.
    DecodedSignature decoded;
    DWORD decodedSize = 0;
    if (!CryptDecodeObjectEx(X509_ASN_ENCODING, X509_ECC_SIGNATURE, der, static_cast<DWORD>(derSize),
                             CRYPT_DECODE_ALLOC_FLAG, nullptr, &decoded.value, &decodedSize) ||
        decoded.value == nullptr) {
        return false;
    }
    uint8_t signature[2 * kCoordinateSize];
    if (!PutCoordinate(decoded.value->r, signature) || !PutCoordinate(decoded.value->s, signature + kCoordinateSize)) {
        return false;
    }

    Algorithm algorithm(BCRYPT_ECDSA_P256_ALGORITHM);
    Key key;
    if (algorithm.Get() == nullptr ||
        !Succeeded(BCryptImportKeyPair(algorithm.Get(), nullptr, BCRYPT_ECCPUBLIC_BLOB, key.Out(),
                                       reinterpret_cast<PUCHAR>(&blob), sizeof blob, 0))) {
        return false;
    }
    return BCryptVerifySignature(key.Get(), nullptr, const_cast<PUCHAR>(digest), kDigestSize, signature,
                                 sizeof signature, 0) == 0;
}

}  // namespace zun::platform::signature
