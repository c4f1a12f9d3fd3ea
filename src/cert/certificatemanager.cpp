#include "cert/certificatemanager.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>

#include "base/bounded_text.h"
#include "base/engine_heap.h"
#include "base/trace.h"
#include "cert/store_address.h"
#include "state/base64.h"

namespace zun {
namespace {

// The subject name is rendered into at most 1024 characters.
constexpr size_t kSubjectTextSize = 1025;

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

Status CertificateManager::GetStoreAddress(StoreAddress* address) {
    if (_certificate == nullptr) {
        ZUN_TRACE("ZUN_E: CertificateManager::GetHostNameFromCertificate(): Certificate is null.");
        return ZUN_E_NOT_FOUND;
    }
    char subject[kSubjectTextSize];
    platform::RenderSubjectName(_certificate, subject, sizeof subject);

    // Tokens are the runs between commas and blanks; the first that is a
    // store host, and nothing but one, names the store.
    const std::string_view text = TextInBuffer(subject);
    size_t at = 0;
    while (at < text.size()) {
        const size_t start = text.find_first_not_of(", ", at);
        if (start == std::string_view::npos) break;
        const size_t end = std::min(text.find_first_of(", ", start), text.size());
        if (ParseStoreHost(text.substr(start, end - start), address)) return 0;
        at = end;
    }
    ZUN_TRACE("ZUN_E: CertificateManager::GetHostNameFromCertificate(): Could not find URL data");
    return ZUN_E_NOT_FOUND;
}

Status CertificateManager::GetHostNameFromCertificate(char* buffer, size_t size) {
    ZUN_TRACE("ZUN: Prolog CertificateManager::GetHostNameFromCertificate()");
    if (buffer == nullptr || size == 0) {
        ZUN_TRACE("ZUN_E: CertificateManager::GetHostNameFromCertificate(): no buffer");
        return ZUN_E_INVALID_ARG;
    }
    std::memset(buffer, 0, size);
    StoreAddress address;
    Status status = GetStoreAddress(&address);
    if (status == 0) {
        // A cut address would name another host: one that does not fit is
        // no address.
        const std::string origin = StoreOrigin(address);
        if (origin.size() < size) {
            CopyText(buffer, size, origin.c_str());
        } else {
            ZUN_TRACE("ZUN_E: CertificateManager::GetHostNameFromCertificate(): %zu characters do not fit",
                      origin.size());
            status = ZUN_E_NOT_FOUND;
        }
    }
    ZUN_TRACE("ZUN: Epilog CertificateManager::GetHostNameFromCertificate()");
    return status;
}

}  // namespace zun
