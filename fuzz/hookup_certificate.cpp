// Any text as the store's certificate text, then the host name it names.
#include <cstdint>
#include <string>

#include "cert/certificatemanager.h"
#include "quiet_trace.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    zun::fuzzing::InstallDiscardingTrace();
    const std::string text(reinterpret_cast<const char*>(data), size);
    zun::CertificateManager manager;
    if (manager.HookupCertificate(text.c_str()) != 0) return 0;
    char small[16];
    char large[256];
    manager.GetHostNameFromCertificate(small, sizeof small);
    manager.GetHostNameFromCertificate(large, sizeof large);
    return 0;
}
