// CertificateManager over certificates made with the openssl CLI for this
// test run; the Windows and the Linux builds hold the same expectations.
#include "cert/certificatemanager.h"

#include <gtest/gtest.h>

#include <string>

#include "shopper/test_certificates.h"

namespace zun {
namespace {

constexpr Status kAsn1EndOfData = 0x80093102;

std::string CertificateText(const char* name) { return testing::TestCertificateFile(std::string(name) + ".b64"); }

std::string HostName(const char* certificate, size_t size = 256) {
    CertificateManager manager;
    EXPECT_EQ(manager.HookupCertificate(CertificateText(certificate).c_str()), 0u) << certificate;
    std::string buffer(size, 'x');
    const Status status = manager.GetHostNameFromCertificate(buffer.data(), buffer.size());
    if (status != 0) {
        EXPECT_EQ(buffer, std::string(size, '\0'));
        return "<none>";
    }
    return buffer.c_str();
}

TEST(CertificateManager, OnlyAStoreHostAndNothingElseNamesTheStore) {
    EXPECT_EQ(HostName("capitals"), "https://store.orvella.com");
    EXPECT_EQ(HostName("several"), "https://first.orvella.com");
    EXPECT_EQ(HostName("none"), "<none>");
    // A host that goes on past the vendor's domain is another domain's; a
    // path after the host makes the value no host at all.
    EXPECT_EQ(HostName("longer_host"), "<none>");
    EXPECT_EQ(HostName("port_and_path"), "<none>");
    for (const char* hostile : {"subject_query", "subject_backslash", "subject_fragment", "subject_userinfo",
                                "subject_domain_first", "subject_no_boundary"}) {
        EXPECT_EQ(HostName(hostile), "<none>") << hostile;
    }
    EXPECT_EQ(HostName("subject_port"), "https://secure.orvella.com:8443");
    EXPECT_EQ(HostName("subject_capitals"), "https://secure.orvella.com");
    // A cut address would name another host.
    EXPECT_EQ(HostName("capitals", 26), "https://store.orvella.com");
    EXPECT_EQ(HostName("capitals", 25), "<none>");
}

TEST(CertificateManager, TextsThatHoldNoCertificate) {
    CertificateManager manager;
    EXPECT_EQ(manager.DisplayCertificate(nullptr), ZUN_E_NOT_FOUND);
    char buffer[64];
    EXPECT_EQ(manager.GetHostNameFromCertificate(buffer, sizeof buffer), ZUN_E_NOT_FOUND);

    const std::string text = CertificateText("capitals");
    ASSERT_EQ(manager.HookupCertificate(text.c_str()), 0u);
    EXPECT_EQ(manager.HookupCertificate(nullptr), ZUN_E_INVALID_ARG);
    EXPECT_TRUE(manager.IsHookedUp());
    EXPECT_EQ(manager.HookupCertificate(""), ZUN_E_INVALID_ARG);
    EXPECT_FALSE(manager.IsHookedUp());

    // A line break in the text: only the bytes before it are decoded.
    ASSERT_EQ(manager.HookupCertificate(text.c_str()), 0u);
    const std::string broken = text.substr(0, 200) + "\r\n" + text.substr(200);
    EXPECT_EQ(manager.HookupCertificate(broken.c_str()), kAsn1EndOfData);
    EXPECT_FALSE(manager.IsHookedUp());
    EXPECT_EQ(manager.HookupCertificate("bm90IGEgY2VydGlmaWNhdGU="), 0x8009310Bu);  // "not a certificate"
    EXPECT_EQ(manager.GetHostNameFromCertificate(buffer, sizeof buffer), ZUN_E_NOT_FOUND);
}

}  // namespace
}  // namespace zun
