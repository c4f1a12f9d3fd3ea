// CertificateManager: the store's certificate, handed over as base64 text of
// its DER encoding. It names the https address of the store host that the
// wizard opens, and shows in a modal certificate viewer.
#pragma once

#include <cstddef>

#include "base/status.h"
#include "cert/store_address.h"
#include "platform/cert.h"

namespace zun {

class CertificateManager {
public:
    CertificateManager() = default;
    ~CertificateManager();
    CertificateManager(const CertificateManager&) = delete;
    CertificateManager& operator=(const CertificateManager&) = delete;

    bool IsHookedUp() const { return _certificate != nullptr; }
    // Decodes the text and keeps the certificate. Any certificate held before
    // is dropped first, also when the new one cannot be created. A text that
    // breaks off at a character outside the alphabet (a line break too) is
    // decoded up to there. ZUN_E_INVALID_ARG for a null or empty text; the
    // system's error number when the bytes are no certificate.
    Status HookupCertificate(const char* text);
    // Shows the certificate modally, owned by `parentWindow` or the desktop,
    // until the person closes the viewer: 0. ZUN_E_NOT_FOUND without a
    // certificate; the system's error number when the viewer cannot be
    // loaded, ZUN_E_CERT_VIEWER when its entry point is missing; the viewer's
    // own failure when it cannot be shown (the browser on Linux).
    Status DisplayCertificate(void* parentWindow);
    void CleanupCertificate();
    // The first subject value (a token split at commas and blanks) that is a
    // store host (ParseStoreHost). ZUN_E_NOT_FOUND when there is none.
    Status GetStoreAddress(StoreAddress* address);
    // That store host as "https://host[:port]". ZUN_E_NOT_FOUND, with the
    // buffer all zeros, when there is none or it does not fit in size - 1
    // characters.
    Status GetHostNameFromCertificate(char* buffer, size_t size);

private:
    platform::Certificate _certificate = nullptr;
};

}  // namespace zun
