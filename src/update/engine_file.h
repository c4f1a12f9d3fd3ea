// What an engine file says of itself, read from its bytes and never by
// loading it: the machine its module header names, and its file version.
// The engine judges a downloaded update by these; the client checks the
// file the same way before it installs it.
#pragma once

#include "platform/module.h"

namespace zun {

// Null when `path` is a shared module (ELF on Linux, a PE DLL on Windows)
// for the machine this code was built for; else why it is not.
const char* WrongModuleReason(const char* path);

// Negative, zero or positive as a is older than, the same as or newer than b.
int CompareFileVersions(const platform::FileVersion& a, const platform::FileVersion& b);

bool IsUnknownVersion(const platform::FileVersion& version);

}  // namespace zun
