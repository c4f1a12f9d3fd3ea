#include "gateway/com/module_lock.h"

#include <atomic>

namespace zun::com {
namespace {

std::atomic<long> moduleLocks{0};

}  // namespace

void LockModule() { moduleLocks.fetch_add(1); }

void UnlockModule() { moduleLocks.fetch_sub(1); }

bool ModuleIsLocked() { return moduleLocks.load() != 0; }

}  // namespace zun::com
