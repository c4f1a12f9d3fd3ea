// Certificates through OpenSSL. Failures carry the numbers the system's
// crypto interface gives for them, so that callers see the same results on
// both platforms: a text that ends too early is "end of data", anything else
// that is no certificate a "bad tag".
#include <openssl/asn1.h>
#include <openssl/evp.h>
#include <openssl/objects.h>
#include <openssl/x509.h>

#include <ctime>
#include <string>
#include <string_view>

#include "base/bounded_text.h"
#include "platform/cert.h"
#include "platform/posix/certificate_page.h"

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

// Calls `visit` for each entry of a name in the order of the encoding, with
// the separator that goes before it: none first, ", " between relative names,
// " + " between the values of one.
template <typename Visit>
void WalkName(const X509_NAME* name, Visit visit) {
    int previousSet = -1;
    for (int i = 0; i < X509_NAME_entry_count(name); ++i) {
        const X509_NAME_ENTRY* entry = X509_NAME_get_entry(name, i);
        const int set = X509_NAME_ENTRY_set(entry);
        visit(entry, i == 0 ? "" : set == previousSet ? " + " : ", ");
        previousSet = set;
    }
}

// "CN = value, O = value": each value with its attribute's short name, as
// they are, for a person to read.
std::string NameText(const X509_NAME* name) {
    std::string text;
    WalkName(name, [&text](const X509_NAME_ENTRY* entry, const char* separator) {
        text += separator;
        const ASN1_OBJECT* object = X509_NAME_ENTRY_get_object(entry);
        const int nid = OBJ_obj2nid(object);
        if (nid != NID_undef) {
            text += OBJ_nid2sn(nid);
        } else {
            char oid[80];
            OBJ_obj2txt(oid, sizeof oid, object, 1);
            text += oid;
        }
        text += " = ";
        text += ValueText(entry);
    });
    return text;
}

std::string TimeText(const ASN1_TIME* time) {
    std::tm parts{};
    if (time == nullptr || ASN1_TIME_to_tm(time, &parts) != 1) return {};
    char text[40];
    return std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S UTC", &parts) == 0 ? std::string() : text;
}

std::string HexBytes(const unsigned char* bytes, size_t count) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    for (size_t i = 0; i < count; ++i) {
        if (i > 0) text += ':';
        text += kDigits[bytes[i] >> 4];
        text += kDigits[bytes[i] & 0x0F];
    }
    return text;
}

std::string SerialText(const ASN1_INTEGER* serial) {
    if (serial == nullptr) return {};
    const int length = ASN1_STRING_length(serial);
    if (length <= 0) return "00";
    const std::string digits = HexBytes(ASN1_STRING_get0_data(serial), static_cast<size_t>(length));
    return ASN1_STRING_type(serial) == V_ASN1_NEG_INTEGER ? "-" + digits : digits;
}

std::string FingerprintText(const X509* certificate) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (X509_digest(certificate, EVP_sha256(), digest, &length) != 1) return {};
    return HexBytes(digest, length);
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
    std::string text;
    WalkName(X509_get_subject_name(Native(certificate)), [&text](const X509_NAME_ENTRY* entry, const char* separator) {
        text += separator;
        text += QuotedWhenNeeded(ValueText(entry));
    });
    CopyText(out, outSize, std::string_view(text));
}

namespace posix {

CertificateFields ReadCertificateFields(Certificate certificate) {
    const X509* native = Native(certificate);
    if (native == nullptr) return {};
    return {NameText(X509_get_subject_name(native)),
            NameText(X509_get_issuer_name(native)),
            TimeText(X509_get0_notBefore(native)),
            TimeText(X509_get0_notAfter(native)),
            SerialText(X509_get0_serialNumber(native)),
            FingerprintText(native)};
}

}  // namespace posix
}  // namespace zun::platform
