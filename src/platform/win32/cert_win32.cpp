#include <windows.h>
#include <wincrypt.h>
// after wincrypt.h
#include <cryptuiapi.h>

#include <new>

#include "platform/cert.h"

namespace zun::platform {
namespace {

constexpr DWORD kEncoding = X509_ASN_ENCODING | PKCS_7_ASN_ENCODING;

PCCERT_CONTEXT Native(Certificate certificate) { return reinterpret_cast<PCCERT_CONTEXT>(certificate); }

// The viewer's argument block is 72 bytes in 32-bit builds.
#if !defined(_WIN64)
static_assert(sizeof(CRYPTUI_VIEWCERTIFICATE_STRUCTA) == 72);
#endif

using ViewCertificateFunction = BOOL(WINAPI*)(PCCRYPTUI_VIEWCERTIFICATE_STRUCTA, BOOL*);

}  // namespace

struct CertificateViewer {
    HMODULE library = nullptr;
    ViewCertificateFunction view = nullptr;
};

Status CreateCertificate(const uint8_t* der, size_t size, Certificate* certificate) {
    *certificate = nullptr;
    PCCERT_CONTEXT context = CertCreateCertificateContext(kEncoding, der, static_cast<DWORD>(size));
    if (context == nullptr) {
        const DWORD error = GetLastError();
        return error != 0 ? error : static_cast<Status>(CRYPT_E_ASN1_BADTAG);
    }
    *certificate = reinterpret_cast<Certificate>(const_cast<CERT_CONTEXT*>(context));
    return 0;
}

void FreeCertificate(Certificate certificate) {
    if (certificate != nullptr) CertFreeCertificateContext(Native(certificate));
}

void RenderSubjectName(Certificate certificate, char* out, size_t outSize) {
    if (out == nullptr || outSize == 0) return;
    out[0] = '\0';
    if (certificate == nullptr) return;
    CertNameToStrA(kEncoding, &Native(certificate)->pCertInfo->Subject, CERT_SIMPLE_NAME_STR, out,
                   static_cast<DWORD>(outSize));
}

// Only the system folder is searched, so a library of the same name planted
// beside the application is never loaded.
Status LoadCertificateViewer(CertificateViewerRef* viewer) {
    viewer->reset();
    HMODULE library = LoadLibraryExA("cryptui.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (library == nullptr) return GetLastError();
    viewer->reset(new (std::nothrow) CertificateViewer{library, nullptr});
    if (*viewer == nullptr) {
        FreeLibrary(library);
        return ERROR_OUTOFMEMORY;
    }
    return 0;
}

Status FindCertificateViewerEntry(CertificateViewer& viewer) {
    viewer.view = reinterpret_cast<ViewCertificateFunction>(
        reinterpret_cast<void*>(GetProcAddress(viewer.library, "CryptUIDlgViewCertificateA")));
    if (viewer.view != nullptr) return 0;
    const DWORD error = GetLastError();
    return error != 0 ? error : static_cast<Status>(ERROR_PROC_NOT_FOUND);
}

Status RunCertificateViewer(CertificateViewer& viewer, Certificate certificate, void* parentWindow) {
    CRYPTUI_VIEWCERTIFICATE_STRUCTA view;
    ZeroMemory(&view, sizeof view);
    view.dwSize = sizeof view;
    view.hwndParent = parentWindow != nullptr ? static_cast<HWND>(parentWindow) : GetDesktopWindow();
    view.szTitle = "Certificate";
    view.pCertContext = Native(certificate);
    view.nStartPage = 0;
    // The viewer is modal and returns when the person closes it; neither its
    // result nor the properties-changed flag means anything to the engine.
    BOOL propertiesChanged = FALSE;
    viewer.view(&view, &propertiesChanged);
    return 0;
}

void UnloadCertificateViewer(CertificateViewer* viewer) {
    if (viewer == nullptr) return;
    FreeLibrary(viewer->library);
    delete viewer;
}

}  // namespace zun::platform
