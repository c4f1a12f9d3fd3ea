// The client side of the engine's self-update: a purchase call that ends
// with ZUN_E_ENGINE_UPDATED has left a new engine build in updateFilePath.
// The client checks it, puts it in place of the running engine and calls
// again.
#pragma once

#include <string>

#include "platform/module.h"

// Whether `path` is an engine build: it loads, exports EntryPoint and
// carries a file version. `why` says what is wrong with it.
bool IsEngineBuild(const char* path, zun::platform::FileVersion* version, std::string* why);

// Replaces the engine file `installed` (already unloaded) with `update`: the
// update is staged next to it and renamed over it in one step, and the old
// file stays beside it as BackupPath(installed).
bool InstallEngineUpdate(const std::string& installed, const std::string& update, std::string* why);

std::string BackupPath(const std::string& installed);
