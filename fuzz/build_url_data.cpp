// Any text as a URL from the store server (a download address), split into
// its parts; and as a number of a reply.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "net/inetblock.h"
#include "net/store_requests.h"
#include "quiet_trace.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    zun::fuzzing::InstallDiscardingTrace();
    const std::string text(reinterpret_cast<const char*>(data), size);
    zun::UrlData parts;
    if (zun::InetBlock::BuildURLData(text.c_str(), &parts) == 0) {
        // The parts are terminated inside their buffers.
        if (std::memchr(parts.szHostName, 0, sizeof parts.szHostName) == nullptr) std::abort();
        if (std::memchr(parts.szUrlPath, 0, sizeof parts.szUrlPath) == nullptr) std::abort();
    }
    zun::ParseDecimal(std::string_view(text));
    return 0;
}
