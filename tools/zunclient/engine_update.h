// The client side of the engine's self-update: a purchase call that ends
// with ZUN_E_ENGINE_UPDATED has left a new engine build in updateFilePath.
// The client checks it without loading it, puts it in place of the running
// engine and calls again.
#pragma once

#include <string>

#include "platform/module.h"

// Whether `path` is an engine build the client may install in place of an
// engine of version `installed`: a module for the client's own machine (its
// ELF or PE header) whose file version is newer. Only the file's bytes are
// read; nothing in it runs. `why` says what is wrong with it.
bool IsEngineBuild(const char* path, const zun::platform::FileVersion& installed,
                   zun::platform::FileVersion* version, std::string* why);

// Replaces the engine file `installed` (already unloaded) with `update`: the
// update is copied under a name of its own next to it, with the installed
// file's permission bits, flushed to disk and renamed over it in one step;
// the old file stays beside it as BackupPath(installed).
bool InstallEngineUpdate(const std::string& installed, const std::string& update, std::string* why);

std::string BackupPath(const std::string& installed);
