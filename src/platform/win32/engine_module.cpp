#include "platform/win32/engine_module.h"

namespace zun::platform {

HMODULE EngineModule() {
    HMODULE module = nullptr;
    if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            reinterpret_cast<LPCSTR>(&EngineModule), &module)) {
        return nullptr;
    }
    return module;
}

}  // namespace zun::platform
