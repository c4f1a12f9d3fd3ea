#include "net/store_host.h"

#include <cstdlib>

#include "base/bounded_text.h"
#include "base/trace.h"
#include "net/host_port.h"

namespace zun {
namespace {

constexpr char kSettingName[] = "ZUN_STORE_HOST";

struct StoreHostText {
    StoreHostText() { settingUsable = StoreHostFromSetting(std::getenv(kSettingName), text, sizeof text) == 0; }
    char text[kStoreHostSize] = {};
    bool settingUsable = true;
};

StoreHostText g_storeHost;

}  // namespace

char* StoreHost() { return g_storeHost.text; }

Status StoreHostFromSetting(const char* setting, char* out, size_t outSize) {
    if (setting == nullptr || setting[0] == '\0') return CopyText(out, outSize, kDefaultStoreHost);
    HostAndPort address;
    if (CopyText(out, outSize, setting) == 0 && SplitHostAndPort(setting, &address)) return 0;
    // A cut name, or one with a path or blanks, would send requests to some
    // other server.
    if (outSize > 0) out[0] = '\0';
    return ZUN_E_INVALID_ARG;
}

Status CheckStoreHost() {
    const char* host = StoreHost();
    HostAndPort address;
    if (SplitHostAndPort(TextInBuffer(host, kStoreHostSize), &address)) return 0;
    if (!g_storeHost.settingUsable) {
        ZUN_TRACE("ZUN_E: CheckStoreHost(): %s is no host name with an optional port (of at most %zu characters)",
                  kSettingName, kStoreHostSize - 1);
    } else {
        ZUN_TRACE("ZUN_E: CheckStoreHost(): the store host \"%.*s\" is no host name with an optional port",
                  static_cast<int>(TextInBuffer(host, kStoreHostSize).size()), host);
    }
    return ZUN_E_INVALID_ARG;
}

}  // namespace zun
