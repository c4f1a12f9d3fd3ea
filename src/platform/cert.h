// Certificate port: one DER-encoded X.509 certificate as a certificate object
// of the system's crypto interface, its subject name rendered as the system's
// simple-name text, and (on Windows) the system's certificate viewer.
#pragma once

#include <cstddef>
#include <cstdint>

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

// The system's certificate viewer, loaded at run time.
struct CertificateViewer;

// Loads the viewer's library; 0, or the system's error number.
Status LoadCertificateViewer(CertificateViewer** viewer);
// Looks up the viewer's entry point.
bool FindCertificateViewerEntry(CertificateViewer* viewer);
// Shows the certificate in the modal viewer titled "Certificate", owned by
// `parentWindow` or, when that is null, the desktop window.
void RunCertificateViewer(CertificateViewer* viewer, Certificate certificate, void* parentWindow);
void UnloadCertificateViewer(CertificateViewer* viewer);

}  // namespace zun::platform
