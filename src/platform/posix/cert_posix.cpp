// Certificates through OpenSSL. Failures carry the numbers the system's
// crypto interface gives for them, so that callers see the same results on
// both platforms: a text that ends too early is "end of data", anything else
// that is no certificate a "bad tag".
#include <openssl/asn1.h>
#include <openssl/x509.h>

#include <string>
#include <string_view>

#include "base/bounded_text.h"
#include "platform/cert.h"

namespace zun::platform {
namespace {

constexpr Status kCryptAsn1EndOfData = 0x80093102;  // CRYPT_E_ASN1_EOD
constexpr Status kCryptAsn1BadTag = 0x8009310B;     // CRYPT_E_ASN1_BADTAG

X509* Native(Certificate certificate) { return reinterpret_cast<X509*>(certificate); }

// Whether the outer DER element (a SEQUENCE) claims more bytes than there are.
bool EndsEarly(const uint8_t* der, size_t size) {
    if (size < 2) return true;
    size_t length = der[1];
    size_t header = 2;
    if (length & 0x80) {
        const size_t count = length & 0x7F;
        if (count == 0 || count > sizeof(size_t)) return false;
        if (size < 2 + count) return true;
        length = 0;
        for (size_t i = 0; i < count; ++i) length = (length << 8) | der[2 + i];
        header += count;
    }
    return length > size - header;
}

// Values with separators, quotes or outer blanks go in double quotes, inner
// quotes doubled, as the system's simple-name rendering writes them.
std::string QuotedWhenNeeded(std::string_view value) {
    const bool needsQuotes =
        !value.empty() && (value.front() == ' ' || value.back() == ' ' ||
                           value.find_first_of(",+=\"\n<>#;") != std::string_view::npos);
    if (!needsQuotes) return std::string(value);
    std::string quoted = "\"";
    for (char c : value) {
        quoted += c;
        if (c == '"') quoted += '"';
    }
    return quoted + "\"";
}

std::string ValueText(const X509_NAME_ENTRY* entry) {
    unsigned char* utf8 = nullptr;
    const int length = ASN1_STRING_to_UTF8(&utf8, X509_NAME_ENTRY_get_data(entry));
    if (length < 0) return {};
    std::string text(reinterpret_cast<const char*>(utf8), static_cast<size_t>(length));
    OPENSSL_free(utf8);
    return text;
}

}  // namespace

Status CreateCertificate(const uint8_t* der, size_t size, Certificate* certificate) {
    *certificate = nullptr;
    if (der == nullptr || size == 0) return kCryptAsn1EndOfData;
    if (der[0] != 0x30) return kCryptAsn1BadTag;
    if (EndsEarly(der, size)) return kCryptAsn1EndOfData;
    const unsigned char* at = der;
    X509* decoded = d2i_X509(nullptr, &at, static_cast<long>(size));
    if (decoded == nullptr) return kCryptAsn1BadTag;
    *certificate = reinterpret_cast<Certificate>(decoded);
    return 0;
}

void FreeCertificate(Certificate certificate) { X509_free(Native(certificate)); }

void RenderSubjectName(Certificate certificate, char* out, size_t outSize) {
    if (out == nullptr || outSize == 0) return;
    out[0] = '\0';
    if (certificate == nullptr) return;
    const X509_NAME* subject = X509_get_subject_name(Native(certificate));
    std::string text;
    int previousSet = -1;
    for (int i = 0; i < X509_NAME_entry_count(subject); ++i) {
        const X509_NAME_ENTRY* entry = X509_NAME_get_entry(subject, i);
        const int set = X509_NAME_ENTRY_set(entry);
        if (i > 0) text += set == previousSet ? " + " : ", ";
        previousSet = set;
        text += QuotedWhenNeeded(ValueText(entry));
    }
    CopyText(out, outSize, std::string_view(text));
}

// The viewer is a window of the browser; until it exists the viewer cannot
// be loaded, as when the system's viewer library is missing.
Status LoadCertificateViewer(CertificateViewer** viewer) {
    if (viewer != nullptr) *viewer = nullptr;
    return ZUN_E_CERT_VIEWER;
}
bool FindCertificateViewerEntry(CertificateViewer*) { return false; }
void RunCertificateViewer(CertificateViewer*, Certificate, void*) {}
void UnloadCertificateViewer(CertificateViewer*) {}

}  // namespace zun::platform
