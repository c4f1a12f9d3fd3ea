// Prints how this build's certificate port renders the subjects of DER files,
// one line each: "NAME: TEXT", or "NAME: error 0xNNNNNNNN" when the bytes are
// no certificate. The Linux and the Windows builds must print the same.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/cert.h"

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        std::ifstream file(argv[i], std::ios::binary);
        if (!file) {
            std::fprintf(stderr, "cannot read %s\n", argv[i]);
            return 2;
        }
        const std::vector<uint8_t> der((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        std::string name = argv[i];
        name = name.substr(name.find_last_of("/\\") + 1);

        zun::platform::Certificate certificate = nullptr;
        const zun::Status status = zun::platform::CreateCertificate(der.data(), der.size(), &certificate);
        if (status != 0) {
            std::printf("%s: error 0x%08X\n", name.c_str(), status);
            continue;
        }
        char subject[1025];
        zun::platform::RenderSubjectName(certificate, subject, sizeof subject);
        zun::platform::FreeCertificate(certificate);
        std::printf("%s: %s\n", name.c_str(), subject);
    }
    return 0;
}
