#include "update/engine_update_check.h"

#include "base/trace.h"
#include "state/base64.h"
#include "update/engine_file.h"
#include "update/trusted_update_keys.h"

namespace zun {
namespace {

// A DER ECDSA P-256 signature is at most 72 bytes.
constexpr size_t kMaxSignatureSize = 80;

}  // namespace

Status EngineUpdateFile::Create(const char* prefix, char* path, size_t pathSize) {
    return platform::CreateTempFile(prefix, path, pathSize, &_file);
}

Status EngineUpdateFile::Write(const uint8_t* data, uint32_t size) {
    if (_size + size > kMaxEngineUpdateSize) {
        ZUN_TRACE("ZUN_E: EngineUpdateFile::Write(): the download goes past %llu bytes",
                  static_cast<unsigned long long>(kMaxEngineUpdateSize));
        _tooLarge = true;
        return InetBlock::kReplyTooLarge;
    }
    _size += size;
    if (!_hash.Update(data, size)) return ZUN_E_UNEXPECTED;
    return _file.Write(data, size);
}

Status EngineUpdateFile::Restart() {
    _size = 0;
    if (!_hash.Restart()) return ZUN_E_UNEXPECTED;
    return _file.Truncate();
}

bool EngineUpdateFile::Finish(uint8_t (&digest)[platform::signature::kDigestSize]) {
    const bool closed = _file.Close() == 0;
    return _hash.Finish(digest) && closed;
}

bool SignedByTrustedKey(const uint8_t (&digest)[platform::signature::kDigestSize], const char* signatureText) {
    uint8_t signature[kMaxSignatureSize];
    const size_t size = DecodeBase64(signatureText, signature, sizeof signature, nullptr);
    if (size == 0) return false;
    for (const UpdateKey& key : TrustedUpdateKeys()) {
        if (platform::signature::VerifyDigest(key.spki, key.size, digest, signature, size)) return true;
    }
    return false;
}

const char* RefusalBeforeDownload(const char* signatureText) {
    if (TrustedUpdateKeys().empty()) return "this engine was built without update keys (ZUN_UPDATE_KEYS)";
    if (signatureText == nullptr || signatureText[0] == '\0') return "the reply carries no DOWNLOADSIGNATURE";
    return nullptr;
}

const char* RefusalOfDownload(const char* path, const uint8_t (&digest)[platform::signature::kDigestSize],
                              const char* signatureText, const platform::FileVersion& running) {
    if (!SignedByTrustedKey(digest, signatureText)) return "the signature does not verify with a trusted key";
    if (const char* wrong = WrongModuleReason(path)) return wrong;
    const platform::FileVersion offered = platform::ReadFileVersion(path);
    if (IsUnknownVersion(offered)) return "the file carries no file version";
    if (IsUnknownVersion(running)) return "the running engine's version is unknown";
    if (CompareFileVersions(offered, running) <= 0) return "the file is not newer than the running engine";
    return nullptr;
}

}  // namespace zun
