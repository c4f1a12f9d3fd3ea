// Prints how this build renders the subjects of DER files, one line each:
// "NAME: TEXT", or "NAME: error 0xNNNNNNNN" for bytes that are no certificate.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/cert.h"

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        std::ifstream file(argv[i], std::ios::binary);
        const std::vector<uint8_t> der((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        const std::string path = argv[i], name = path.substr(path.find_last_of("/\\") + 1);
        zun::platform::Certificate certificate = nullptr;
        const zun::Status status = zun::platform::CreateCertificate(der.data(), der.size(), &certificate);
        char subject[1025] = {};
        if (status == 0) zun::platform::RenderSubjectName(certificate, subject, sizeof subject);
        zun::platform::FreeCertificate(certificate);
        if (status != 0) {
            std::printf("%s: error 0x%08X\n", name.c_str(), status);
        } else {
            std::printf("%s: %s\n", name.c_str(), subject);
        }
    }
    return 0;
}
