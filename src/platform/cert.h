// Certificate port: one DER-encoded X.509 certificate as a certificate object
// of the system's crypto interface, its subject name rendered as the system's
// simple-name text, and a modal viewer of the certificate.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "base/status.h"

namespace zun::platform {

struct CertificateHandle;
using Certificate = CertificateHandle*;

// Decodes one certificate. On failure the result is the system's error
// number for it (never 0) and *certificate is null.
Status CreateCertificate(const uint8_t* der, size_t size, Certificate* certificate);
void FreeCertificate(Certificate certificate);

// The subject's attribute values without their names, in the order of the
// encoding: ", " between relative names, " + " between the values of one;
// a value with separators or outer blanks in it is quoted. Cut to
// outSize - 1 characters and terminated.
void RenderSubjectName(Certificate certificate, char* out, size_t outSize);

// The certificate viewer: on Windows the system's viewer, loaded at run time
// from "cryptui.dll" in the system folder; on Linux a window of the browser
// showing a page of the certificate's fields.
struct CertificateViewer;
void UnloadCertificateViewer(CertificateViewer* viewer);

struct CertificateViewerUnloader {
    void operator()(CertificateViewer* viewer) const { UnloadCertificateViewer(viewer); }
};
using CertificateViewerRef = std::unique_ptr<CertificateViewer, CertificateViewerUnloader>;

// Loads the viewer; 0, or the system's error number.
Status LoadCertificateViewer(CertificateViewerRef* viewer);
// Looks up the viewer's entry point; 0, or the system's error number.
Status FindCertificateViewerEntry(CertificateViewer& viewer);
// Shows the certificate in the modal viewer titled "Certificate", owned by
// `parentWindow` or, when that is null, the desktop window, and returns when
// the person closes it: 0, or the failure of a viewer that could not be
// shown (on Linux the browser that could not start or went away). The
// system's viewer reports no failure.
Status RunCertificateViewer(CertificateViewer& viewer, Certificate certificate, void* parentWindow);

}  // namespace zun::platform
