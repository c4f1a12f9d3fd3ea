#include "gateway/engine_module_info.h"

#include "base/bounded_text.h"
#include "base/trace.h"

namespace zun {
namespace {

EngineModuleInfo g_engineModuleInfo;

}  // namespace

const EngineModuleInfo& TheEngineModuleInfo() { return g_engineModuleInfo; }

Status FormatVersionText(const platform::FileVersion& version, char* out, size_t outSize) {
    return FormatText(out, outSize, "%u.%u.%u.%u", unsigned{version.major}, unsigned{version.minor},
                      unsigned{version.build}, unsigned{version.revision});
}

Status RefreshEngineModuleInfo() {
    EngineModuleInfo& info = g_engineModuleInfo;
    const Status status = platform::GetEngineModulePath(info.modulePath, sizeof info.modulePath);
    if (status != 0) ZUN_TRACE("ZUN_E: RefreshEngineModuleInfo(): GetModuleFileNameA(): Failure %u", status);
    // A path that could not be read names no file, whose version is 0.0.0.0.
    const platform::FileVersion version =
        status == 0 ? platform::ReadFileVersion(info.modulePath) : platform::FileVersion{};
    FormatVersionText(version, info.versionText, sizeof info.versionText);
    return status;
}

}  // namespace zun
