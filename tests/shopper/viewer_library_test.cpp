// The certificate viewer's library comes from the system folder only: a
// "cryptui.dll" planted beside this program is never the one loaded.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <string>

#include "platform/cert.h"

namespace zun {
namespace {

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::string ModulePath(HMODULE module) {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(module, path, MAX_PATH);
    return path;
}

TEST(CertificateViewerLibrary, APlantedLibraryBesideTheProgramIsNotLoaded) {
    const std::string program = ModulePath(nullptr);
    const std::string folder = program.substr(0, program.find_last_of('\\') + 1);
    ASSERT_NE(GetFileAttributesA((folder + "cryptui.dll").c_str()), INVALID_FILE_ATTRIBUTES)
        << "the planted library is missing beside " << program;

    platform::CertificateViewerRef viewer;
    ASSERT_EQ(platform::LoadCertificateViewer(&viewer), 0u);
    EXPECT_EQ(platform::FindCertificateViewerEntry(*viewer), 0u);
    const HMODULE loaded = GetModuleHandleA("cryptui.dll");
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(GetProcAddress(loaded, "ZunPlantedLibrary"), nullptr);
    EXPECT_NE(Lower(ModulePath(loaded)).find("\\system32\\"), std::string::npos) << ModulePath(loaded);
}

}  // namespace
}  // namespace zun
