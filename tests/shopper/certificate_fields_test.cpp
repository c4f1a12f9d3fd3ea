// The Linux certificate viewer's page: the fields it reads agree with the
// openssl CLI for every test certificate, and the page escapes what they hold.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/posix/certificate_page.h"

namespace zun {
namespace {

using platform::posix::CertificateFields;

std::string File(const std::string& name) {
    std::ifstream file(std::string(ZUN_TEST_CERTIFICATES) + "/" + name, std::ios::binary);
    EXPECT_TRUE(file) << name;
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

std::string CliField(const std::string& facts, const std::string& key) {
    const size_t start = facts.find(key + "=");
    if (start == std::string::npos) return "<missing " + key + ">";
    const size_t end = facts.find('\n', start);
    return facts.substr(start + key.size() + 1, end - start - key.size() - 1);
}

CertificateFields FieldsOf(const std::string& name) {
    const std::string der = File(name + ".der");
    platform::Certificate certificate = nullptr;
    EXPECT_EQ(platform::CreateCertificate(reinterpret_cast<const uint8_t*>(der.data()), der.size(), &certificate),
              0u);
    CertificateFields fields = platform::posix::ReadCertificateFields(certificate);
    platform::FreeCertificate(certificate);
    return fields;
}

std::string WithoutColons(std::string text) {
    std::erase(text, ':');
    return text;
}

// "2026-12-06 16:35:22Z" as the page writes it.
std::string PageTime(const std::string& cliTime) { return cliTime.substr(0, cliTime.size() - 1) + " UTC"; }

TEST(CertificateFields, AgreeWithTheOpensslCli) {
    for (const char* name : {"capitals", "middle", "several", "none", "quoted", "markup"}) {
        SCOPED_TRACE(name);
        const std::string facts = File(std::string(name) + ".txt");
        const CertificateFields fields = FieldsOf(name);
        EXPECT_EQ(fields.subject, CliField(facts, "subject"));
        EXPECT_EQ(fields.issuer, CliField(facts, "issuer"));
        EXPECT_EQ(fields.notBefore, PageTime(CliField(facts, "notBefore")));
        EXPECT_EQ(fields.notAfter, PageTime(CliField(facts, "notAfter")));
        EXPECT_EQ(WithoutColons(fields.serialNumber), CliField(facts, "serial"));
        EXPECT_EQ(fields.sha256Fingerprint, CliField(facts, "sha256 Fingerprint"));
    }
}

TEST(CertificatePage, EveryFieldIsEscapedAndNoScriptMayRun) {
    const CertificateFields hostile{"CN = <script>alert(1)</script>", "O = \"quoted\" & 'single'",
                                    "</td></tr></table><img src=x onerror=alert(1)>", "", "", ""};
    const std::string page = platform::posix::CertificatePage(hostile);
    EXPECT_THAT(page, ::testing::HasSubstr("CN = &lt;script&gt;alert(1)&lt;/script&gt;"));
    EXPECT_THAT(page, ::testing::HasSubstr("O = &quot;quoted&quot; &amp; &#39;single&#39;"));
    EXPECT_THAT(page, ::testing::HasSubstr("&lt;/td&gt;&lt;/tr&gt;&lt;/table&gt;&lt;img src=x"));
    EXPECT_THAT(page, ::testing::Not(::testing::HasSubstr("<script")));
    EXPECT_THAT(page, ::testing::Not(::testing::HasSubstr("<img")));
    EXPECT_THAT(page, ::testing::HasSubstr("<title>Certificate</title>"));
    EXPECT_THAT(page, ::testing::HasSubstr("content=\"default-src 'none'"));
}

}  // namespace
}  // namespace zun
