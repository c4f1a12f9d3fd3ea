// The count that decides whether the COM server may be unloaded: every live
// object, every reference to a class factory and every server lock held by a
// client keeps the module loaded.
#pragma once

namespace zun::com {

void LockModule();
void UnlockModule();
bool ModuleIsLocked();

}  // namespace zun::com
