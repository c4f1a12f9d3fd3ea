// The fields the Linux certificate viewer shows agree with what the openssl
// CLI reads, for every test certificate. (The page and its escaping are
// checked in the browser, by the viewer's own tests.)
#include <gtest/gtest.h>

#include <string>

#include "platform/posix/certificate_page.h"
#include "shopper/test_certificates.h"

namespace zun {
namespace {

using platform::posix::CertificateFields;
using testing::CliField;
using testing::PageTime;
using testing::TestCertificateFile;
using testing::WithoutColons;

CertificateFields FieldsOf(const std::string& name) {
    const std::string der = TestCertificateFile(name + ".der");
    platform::Certificate certificate = nullptr;
    EXPECT_EQ(platform::CreateCertificate(reinterpret_cast<const uint8_t*>(der.data()), der.size(), &certificate),
              0u);
    CertificateFields fields = platform::posix::ReadCertificateFields(certificate);
    platform::FreeCertificate(certificate);
    return fields;
}

TEST(CertificateFields, AgreeWithTheOpensslCli) {
    for (const char* name : {"capitals", "middle", "several", "none", "quoted", "markup"}) {
        SCOPED_TRACE(name);
        const std::string facts = TestCertificateFile(std::string(name) + ".txt");
        const CertificateFields fields = FieldsOf(name);
        EXPECT_EQ(fields.subject, CliField(facts, "subject"));
        EXPECT_EQ(fields.issuer, CliField(facts, "issuer"));
        EXPECT_EQ(fields.notBefore, PageTime(CliField(facts, "notBefore")));
        EXPECT_EQ(fields.notAfter, PageTime(CliField(facts, "notAfter")));
        EXPECT_EQ(WithoutColons(fields.serialNumber), CliField(facts, "serial"));
        EXPECT_EQ(fields.sha256Fingerprint, CliField(facts, "sha256 Fingerprint"));
    }
}

}  // namespace
}  // namespace zun
