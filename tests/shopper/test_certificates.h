// The files make-test-certificates.sh makes in ZUN_TEST_CERTIFICATES for the
// test run: certificates (.der, .b64) and what the openssl CLI reads from
// each (.txt).
#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

namespace zun::testing {

inline std::string TestCertificateFile(const std::string& name) {
    std::ifstream file(std::string(ZUN_TEST_CERTIFICATES) + "/" + name, std::ios::binary);
    EXPECT_TRUE(file) << name;
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// One line of the CLI's reading: "subject=...", "sha256 Fingerprint=...".
inline std::string CliField(const std::string& facts, const std::string& key) {
    const size_t start = facts.find(key + "=");
    if (start == std::string::npos) return "<missing " + key + ">";
    return facts.substr(start + key.size() + 1, facts.find('\n', start) - start - key.size() - 1);
}

// The CLI's "2026-12-06 16:35:22Z" as the viewer's page writes it.
inline std::string PageTime(const std::string& cliTime) { return cliTime.substr(0, cliTime.size() - 1) + " UTC"; }

inline std::string WithoutColons(std::string text) {
    std::erase(text, ':');
    return text;
}

}  // namespace zun::testing
