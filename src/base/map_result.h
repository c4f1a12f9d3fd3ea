// The rule by which the entry function turns an internal status into the
// caller's result.
#pragma once

#include "base/status.h"

namespace zun {

// The engine's own values (bit 29) and zero or negative statuses pass
// unchanged; a positive Win32 error number n becomes 0x80070000 | (n & 0xFFFF).
Status MapResult(Status status);

}  // namespace zun
