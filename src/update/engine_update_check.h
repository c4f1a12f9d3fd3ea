// The engine's judgement of an engine update the store offers: the file is
// written and hashed as it arrives, then accepted only when a trusted key
// signed it, it is an engine module for this machine and it is newer than
// the running engine. Each refusal comes with its reason.
#pragma once

#include <cstdint>

#include "base/status.h"
#include "net/inetblock.h"
#include "platform/module.h"
#include "platform/signature.h"

namespace zun {

// No engine build comes near this; a download that goes past it is cut off.
inline constexpr uint64_t kMaxEngineUpdateSize = 64ull * 1024 * 1024;

// The downloaded file: written through the handle that created it, hashed
// on the way, never more than kMaxEngineUpdateSize bytes.
class EngineUpdateFile : public DownloadSink {
public:
    // Creates the temporary file; its path goes into `path`.
    Status Create(const char* prefix, char* path, size_t pathSize);
    Status Write(const uint8_t* data, uint32_t size) override;
    Status Restart() override;
    // Closes the file and finishes the digest. False when either fails.
    bool Finish(uint8_t (&digest)[platform::signature::kDigestSize]);
    // True when a write was refused for the size cap.
    bool TooLarge() const { return _tooLarge; }

private:
    platform::CreatedFile _file;
    platform::signature::Sha256 _hash;
    uint64_t _size = 0;
    bool _tooLarge = false;
};

// Whether `signatureText` (base64 DER) signs `digest` with one of the
// trusted keys.
bool SignedByTrustedKey(const uint8_t (&digest)[platform::signature::kDigestSize], const char* signatureText);

// Null when an offer with this DOWNLOADSIGNATURE value is worth fetching at
// all: the engine trusts some key and the store sent a signature.
const char* RefusalBeforeDownload(const char* signatureText);

// Null when the downloaded file at `path` with this SHA-256 digest is an
// update the client may install: the signature verifies with a trusted key,
// the file is an engine module for this machine, and its file version is
// newer than `running` (the running engine's).
const char* RefusalOfDownload(const char* path, const uint8_t (&digest)[platform::signature::kDigestSize],
                              const char* signatureText, const platform::FileVersion& running);

}  // namespace zun
