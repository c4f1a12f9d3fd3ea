// CertificateManager over certificates made with the openssl CLI for this
// test run; the Windows and the Linux builds hold the same expectations.
#include "cert/certificatemanager.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/cert.h"
#include "shopper/test_certificates.h"

namespace zun {
namespace {

std::string CertificateText(const char* name) { return testing::TestCertificateFile(std::string(name) + ".b64"); }

// The store address the certificate names, or "<none>"; a refusal leaves the
// buffer cleared.
std::string HostName(const char* certificate, size_t size = 256) {
    CertificateManager manager;
    EXPECT_EQ(manager.HookupCertificate(CertificateText(certificate).c_str()), 0u) << certificate;
    std::string buffer(size, 'x');
    if (manager.GetHostNameFromCertificate(buffer.data(), buffer.size()) == 0) return buffer.c_str();
    EXPECT_EQ(buffer, std::string(size, '\0'));
    return "<none>";
}

TEST(CertificateManager, OnlyAStoreHostAndNothingElseNamesTheStore) {
    // A host that goes on past the vendor's domain is another domain's; a
    // path after the host, or a cut address, names no host at all.
    const struct {
        const char* certificate;
        const char* host;
    } kCases[] = {
        {"capitals", "https://store.orvella.com"},  {"several", "https://first.orvella.com"},
        {"subject_port", "https://secure.orvella.com:8443"}, {"subject_capitals", "https://secure.orvella.com"},
        {"none", "<none>"},          {"longer_host", "<none>"},       {"port_and_path", "<none>"},
        {"subject_query", "<none>"}, {"subject_backslash", "<none>"}, {"subject_fragment", "<none>"},
        {"subject_userinfo", "<none>"}, {"subject_domain_first", "<none>"}, {"subject_no_boundary", "<none>"},
    };
    for (const auto& c : kCases) EXPECT_EQ(HostName(c.certificate), c.host) << c.certificate;
    EXPECT_EQ(HostName("capitals", 26), "https://store.orvella.com");
    EXPECT_EQ(HostName("capitals", 25), "<none>");
}

// The subject as the Windows build's system library renders it; the Linux
// build renders the same text.
TEST(CertificateSubject, RendersTheSameTextOnEveryBuild) {
    const struct {
        const char* certificate;
        Status status;
        const char* subject;
    } kCases[] = {
        {"capitals", 0, "NO, Orvella Test, Store.ORVELLA.Com"},
        {"several", 0, "first.orvella.com, second.orvella.com, third.orvella.com"},
        {"none", 0, "DE, Berlin, Example GmbH, store.example.com, someone@example.com"},
        {"quoted", 0, R"(NO, "Comma, Inc", " padded ", second value + a.orvella.com)"},
        {"markup", 0, R"("A & B ""C""", "<img src=x onerror=zunInjected=2>", "<script>zunInjected=1</script>")"},
        {"subject_fragment", 0, R"("attacker.test#.orvella.com")"},
        {"subject_backslash", 0, R"(attacker.test\.orvella.com)"},
        {"truncated", 0x80093102, ""},
        {"garbage", 0x8009310B, ""},
    };
    for (const auto& c : kCases) {
        const std::string der = testing::TestCertificateFile(std::string(c.certificate) + ".der");
        platform::Certificate certificate = nullptr;
        char subject[1025] = {};
        EXPECT_EQ(platform::CreateCertificate(reinterpret_cast<const uint8_t*>(der.data()), der.size(), &certificate),
                  c.status)
            << c.certificate;
        if (certificate != nullptr) platform::RenderSubjectName(certificate, subject, sizeof subject);
        platform::FreeCertificate(certificate);
        EXPECT_STREQ(subject, c.subject) << c.certificate;
    }
}

// Only the text before a line break is decoded; a refused text unhooks the
// certificate held before.
TEST(CertificateManager, TextsThatHoldNoCertificate) {
    CertificateManager manager;
    char buffer[64];
    const std::string text = CertificateText("capitals");
    for (const std::string& refused : {std::string(), text.substr(0, 200) + "\r\n" + text.substr(200)}) {
        ASSERT_EQ(manager.HookupCertificate(text.c_str()), 0u);
        EXPECT_NE(manager.HookupCertificate(refused.c_str()), 0u);
        EXPECT_EQ(manager.GetHostNameFromCertificate(buffer, sizeof buffer), ZUN_E_NOT_FOUND);
    }
}

}  // namespace
}  // namespace zun
