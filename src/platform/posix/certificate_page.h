// The page the certificate viewer shows on Linux: the certificate's fields as
// text in a document titled "Certificate".
#pragma once

#include <string>

#include "platform/cert.h"

namespace zun::platform::posix {

// The fields a person checks, as UTF-8 text. They come from the certificate,
// which the store server sent: outside input.
struct CertificateFields {
    std::string subject;            // "CN = host, O = name", in the order of the encoding
    std::string issuer;
    std::string notBefore;          // "2026-12-06 16:35:22 UTC"
    std::string notAfter;
    std::string serialNumber;       // hex bytes "01:AB:..."
    std::string sha256Fingerprint;  // hex bytes of the DER encoding's SHA-256
};

// Reads the fields with the crypto library.
CertificateFields ReadCertificateFields(Certificate certificate);

// A complete HTML document. Every field is escaped, and the document's
// content policy lets no script run, whatever a field holds.
std::string CertificatePage(const CertificateFields& fields);

}  // namespace zun::platform::posix
