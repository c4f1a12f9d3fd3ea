// The engine module's path and version text for the dialogs: the information
// every entry call refreshes, read afresh when no call has filled it yet (a
// dialog run by a test program or a tool).
#pragma once

#include "gateway/engine_module_info.h"

namespace zun {

const EngineModuleInfo& CurrentEngineModuleInfo();

}  // namespace zun
