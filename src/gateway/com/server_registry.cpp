#include "gateway/com/server_registry.h"

#include <iterator>

#include "ZunServer.h"
#include "base/map_result.h"
#include "base/trace.h"
#include "gateway/com/registrar.h"
#include "platform/module.h"

namespace zun::com {
namespace {

constexpr GUID kAppId = ZUN_APPID_ZUNSERVER_INITIALIZER;

using enum KeyRemoval;

constexpr RegistryKeyEntry kServerKeys[] = {
    {"AppID", NoRemove, nullptr, nullptr, nullptr},
    {"AppID\\%APPID%", Remove, "ZunServer", nullptr, nullptr},
    {"AppID\\ZunServer.DLL", Remove, nullptr, "AppID", "%APPID%"},
    {"ZunServer.ZunNV.1", Remove, "ZunNV Class", nullptr, nullptr},
    {"ZunServer.ZunNV.1\\CLSID", Remove, "%CLSID%", nullptr, nullptr},
    {"ZunServer.ZunNV", Remove, "ZunNV Class", nullptr, nullptr},
    {"ZunServer.ZunNV\\CLSID", Remove, "%CLSID%", nullptr, nullptr},
    {"ZunServer.ZunNV\\CurVer", Remove, "ZunServer.ZunNV.1", nullptr, nullptr},
    {"CLSID", NoRemove, nullptr, nullptr, nullptr},
    {"CLSID\\%CLSID%", ForceRemove, "ZunNV Class", "AppID", "%APPID%"},
    {"CLSID\\%CLSID%\\ProgID", Remove, "ZunServer.ZunNV.1", nullptr, nullptr},
    {"CLSID\\%CLSID%\\VersionIndependentProgID", Remove, "ZunServer.ZunNV", nullptr, nullptr},
    {"CLSID\\%CLSID%\\Programmable", ForceRemove, nullptr, nullptr, nullptr},
    {"CLSID\\%CLSID%\\InprocServer32", Remove, "%MODULE%", "ThreadingModel", "Apartment"},
    {"CLSID\\%CLSID%\\TypeLib", Remove, "%LIBID%", nullptr, nullptr},
};

// "{xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}": 38 characters and the terminator.
struct GuidText {
    explicit GuidText(REFGUID guid) {
        wchar_t wide[39] = {};
        StringFromGUID2(guid, wide, 39);
        for (size_t i = 0; i < sizeof text; ++i) text[i] = static_cast<char>(wide[i]);
    }
    char text[39];
};

// Runs `action` with a registrar whose tokens hold this module's values.
template <class Action>
HRESULT WithServerRegistrar(Action action) {
    char modulePath[MAX_PATH];
    const Status status = platform::GetEngineModulePath(modulePath, sizeof modulePath);
    if (Failed(status)) {
        ZUN_TRACE("ZUN_E: WithServerRegistrar(): GetEngineModulePath(): Failure %u", status);
        return static_cast<HRESULT>(MapResult(status));
    }
    const GuidText appId(kAppId), clsid(CLSID_ZunNV), libid(LIBID_ZunServerLib);
    const RegistryToken tokens[] = {
        {"%MODULE%", modulePath},
        {"%APPID%", appId.text},
        {"%CLSID%", clsid.text},
        {"%LIBID%", libid.text},
    };
    return action(Registrar(HKEY_CLASSES_ROOT, tokens));
}

}  // namespace

HRESULT RegisterServerKeys() {
    return WithServerRegistrar([](const Registrar& registrar) { return registrar.Register(kServerKeys); });
}

HRESULT UnregisterServerKeys() {
    return WithServerRegistrar([](const Registrar& registrar) { return registrar.Unregister(kServerKeys); });
}

}  // namespace zun::com
