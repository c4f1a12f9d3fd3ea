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

Status LoadCertificateViewer(CertificateViewer** viewer) {
    *viewer = nullptr;
    HMODULE library = LoadLibraryA("cryptui.dll");
    if (library == nullptr) return GetLastError();
    *viewer = new (std::nothrow) CertificateViewer{library, nullptr};
    if (*viewer == nullptr) {
        FreeLibrary(library);
        return ERROR_OUTOFMEMORY;
    }
    return 0;
}

bool FindCertificateViewerEntry(CertificateViewer* viewer) {
    viewer->view = reinterpret_cast<ViewCertificateFunction>(
        reinterpret_cast<void*>(GetProcAddress(viewer->library, "CryptUIDlgViewCertificateA")));
    return viewer->view != nullptr;
}

void RunCertificateViewer(CertificateViewer* viewer, Certificate certificate, void* parentWindow) {
    CRYPTUI_VIEWCERTIFICATE_STRUCTA view;
    ZeroMemory(&view, sizeof view);
    view.dwSize = sizeof view;
    view.hwndParent = parentWindow != nullptr ? static_cast<HWND>(parentWindow) : GetDesktopWindow();
    view.szTitle = "Certificate";
    view.pCertContext = Native(certificate);
    view.nStartPage = 0;
    BOOL propertiesChanged = FALSE;
    viewer->view(&view, &propertiesChanged);
}

void UnloadCertificateViewer(CertificateViewer* viewer) {
    if (viewer == nullptr) return;
    FreeLibrary(viewer->library);
    delete viewer;
}

}  // namespace zun::platform
