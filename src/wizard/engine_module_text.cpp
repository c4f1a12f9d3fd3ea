#include "wizard/engine_module_text.h"

namespace zun {

const EngineModuleInfo& CurrentEngineModuleInfo() {
    if (TheEngineModuleInfo().modulePath[0] == '\0') RefreshEngineModuleInfo();
    return TheEngineModuleInfo();
}

}  // namespace zun
