// The engine's status type: a 32-bit value in the HRESULT layout, 0 for
// success. The named values live in the public header so that the engine and
// its callers share one definition.
#pragma once

#include <zunserver/zunserver.h>

namespace zun {

using Status = ZunStatus;

inline bool Failed(Status status) { return status != 0; }

}  // namespace zun
