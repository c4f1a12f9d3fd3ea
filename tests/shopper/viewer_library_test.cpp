// A "cryptui.dll" planted beside this program is never the certificate
// viewer's library: that comes from the system folder only.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "platform/cert.h"

namespace zun {
namespace {

std::string LowerCasePath(HMODULE module) {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(module, path, MAX_PATH);
    return CharLowerA(path);
}

TEST(CertificateViewerLibrary, APlantedLibraryBesideTheProgramIsNotLoaded) {
    const std::string program = LowerCasePath(nullptr);
    const std::string planted = program.substr(0, program.find_last_of('\\') + 1) + "cryptui.dll";
    ASSERT_NE(GetFileAttributesA(planted.c_str()), INVALID_FILE_ATTRIBUTES) << planted;
    platform::CertificateViewerRef viewer;
    ASSERT_EQ(platform::LoadCertificateViewer(&viewer), 0u);
    EXPECT_EQ(platform::FindCertificateViewerEntry(*viewer), 0u);
    const HMODULE loaded = GetModuleHandleA("cryptui.dll");
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(GetProcAddress(loaded, "ZunPlantedLibrary"), nullptr);
    EXPECT_NE(LowerCasePath(loaded).find("\\system32\\"), std::string::npos) << LowerCasePath(loaded);
}

}  // namespace
}  // namespace zun
