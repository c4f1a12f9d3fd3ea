// Engine module information: the engine module's file path and its version
// text a.b.c.d, engine-wide and refreshed at the start of every entry call.
#pragma once

#include "base/status.h"
#include "platform/module.h"

namespace zun {

struct EngineModuleInfo {
    static constexpr size_t kMaxPath = 260;
    char modulePath[kMaxPath + 1] = {};
    // Four numbers of up to five digits, three dots, the terminator.
    char versionText[24] = {};
};

const EngineModuleInfo& TheEngineModuleInfo();

// Reads the module path and the file version of that file afresh.
Status RefreshEngineModuleInfo();

// "major.minor.build.revision" in decimal without leading zeros.
Status FormatVersionText(const platform::FileVersion& version, char* out, size_t outSize);

}  // namespace zun
