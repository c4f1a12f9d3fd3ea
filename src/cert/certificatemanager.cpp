#include "cert/certificatemanager.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string>
#include <string_view>

#include "base/bounded_text.h"
#include "base/engine_heap.h"
#include "base/trace.h"
#include "cert/vendor_domain.h"
#include "state/base64.h"

namespace zun {
namespace {

// The subject name is rendered into at most 1024 characters.
constexpr size_t kSubjectTextSize = 1025;

// Whether a lower-case subject value names a host of the vendor's domain: its
// host part, the text up to the first ":" or "/", ends with the suffix. A
// port or a path may follow the host; a longer host
// ("store.orvella.com.example") belongs to another domain.
bool NamesVendorHost(std::string_view value) {
    const std::string_view host = value.substr(0, value.find_first_of(":/"));
    return host.ends_with(kVendorDomainSuffix);
}

}  // namespace

CertificateManager::~CertificateManager() { CleanupCertificate(); }

void CertificateManager::CleanupCertificate() {
    if (_certificate == nullptr) return;
    platform::FreeCertificate(_certificate);
    _certificate = nullptr;
}

Status CertificateManager::HookupCertificate(const char* text) {
    ZUN_TRACE("ZUN: Prolog CertificateManager::HookupCertificate()");
    if (text == nullptr) {
        ZUN_TRACE("ZUN_E: CertificateManager::HookupCertificate(): base64 data is NULL.");
        return ZUN_E_INVALID_ARG;
    }
    CleanupCertificate();
    const size_t length = std::strlen(text);
    if (length == 0) return ZUN_E_INVALID_ARG;

    auto* bytes = static_cast<uint8_t*>(heap::Allocate(length));
    if (bytes == nullptr) {
        ZUN_TRACE("ZUN_E: CertificateManager::HookupCertificate(): HeapAlloc(%zu): Failure", length);
        ZUN_TRACE("ZUN: Epilog CertificateManager::HookupCertificate()");
        return ZUN_E_OUT_OF_MEMORY;
    }
    // The decoder's result is not consulted: a text that breaks off yields
    // the bytes before the break, and the certificate decoding decides.
    size_t count = 0;
    DecodeBase64(text, bytes, length, &count);
    const Status status = platform::CreateCertificate(bytes, count < length ? count : length, &_certificate);
    heap::Release(bytes);
    if (status != 0) {
        ZUN_TRACE("ZUN_E: CertificateManager::HookupCertificate(): CertCreateCertificateContext(): Error %u",
                  status);
    }
    ZUN_TRACE("ZUN: Epilog CertificateManager::HookupCertificate()");
    return status;
}

Status CertificateManager::DisplayCertificate(void* parentWindow) {
    ZUN_TRACE("ZUN: Prolog CertificateManager::DisplayCertificate()");
    if (_certificate == nullptr) {
        ZUN_TRACE("ZUN_E: CertificateManager::DisplayCertificate(): Certificate is null.");
        return ZUN_E_NOT_FOUND;
    }
    platform::CertificateViewerRef viewer;
    if (const Status status = platform::LoadCertificateViewer(&viewer); status != 0) {
        ZUN_TRACE("ZUN_E: CertificateManager::DisplayCertificate(): LoadLibrary(): Error %u", status);
        ZUN_TRACE("ZUN: Epilog CertificateManager::DisplayCertificate()");
        return status;
    }
    if (const Status status = platform::FindCertificateViewerEntry(*viewer); status != 0) {
        viewer.reset();
        ZUN_TRACE("ZUN_E: CertificateManager::DisplayCertificate(): GetProcAddress(): Error %u", status);
        ZUN_TRACE("ZUN: Epilog CertificateManager::DisplayCertificate()");
        return ZUN_E_CERT_VIEWER;
    }
    ZUN_TRACE("ZUN: CertificateManager::DisplayCertificate(): Before Dialog Display.");
    const Status shown = platform::RunCertificateViewer(*viewer, _certificate, parentWindow);
    ZUN_TRACE("ZUN: CertificateManager::DisplayCertificate(): After Dialog Display.");
    viewer.reset();
    if (shown != 0) {
        // A viewer that could not be shown (the browser on Linux) is a failure
        // of the call, not a window the person closed.
        ZUN_TRACE("ZUN_E: CertificateManager::DisplayCertificate(): Dialog Display: Error %u", shown);
    }
    ZUN_TRACE("ZUN: Epilog CertificateManager::DisplayCertificate()");
    return shown;
}

Status CertificateManager::GetHostNameFromCertificate(char* buffer, size_t size) {
    ZUN_TRACE("ZUN: Prolog CertificateManager::GetHostNameFromCertificate()");
    if (_certificate == nullptr) {
        ZUN_TRACE("ZUN_E: CertificateManager::GetHostNameFromCertificate(): Certificate is null.");
        return ZUN_E_NOT_FOUND;
    }
    if (buffer == nullptr || size == 0) {
        ZUN_TRACE("ZUN_E: CertificateManager::GetHostNameFromCertificate(): no buffer");
        return ZUN_E_INVALID_ARG;
    }
    std::memset(buffer, 0, size);
    char subject[kSubjectTextSize];
    platform::RenderSubjectName(_certificate, subject, sizeof subject);

    // Tokens are the runs between commas and blanks.
    const std::string_view text = TextInBuffer(subject);
    size_t at = 0;
    while (at < text.size()) {
        const size_t start = text.find_first_not_of(", ", at);
        if (start == std::string_view::npos) break;
        const size_t end = std::min(text.find_first_of(", ", start), text.size());
        std::string token(text.substr(start, end - start));
        for (char& c : token) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (NamesVendorHost(token)) {
            CopyText(buffer, size, "https://");
            AppendText(buffer, size, token.c_str());
            ZUN_TRACE("ZUN: Epilog CertificateManager::GetHostNameFromCertificate()");
            return 0;
        }
        at = end;
    }
    ZUN_TRACE("ZUN_E: CertificateManager::GetHostNameFromCertificate(): Could not find URL data");
    ZUN_TRACE("ZUN: Epilog CertificateManager::GetHostNameFromCertificate()");
    return ZUN_E_NOT_FOUND;
}

}  // namespace zun
