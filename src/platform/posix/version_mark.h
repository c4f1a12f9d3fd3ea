// The module's version mark, a what-string written into the module file at
// build time: the prefix followed by a.b.c.d. ReadFileVersion finds it in any
// module file, as a version resource is found in a Windows module, so a
// client can read the version of an engine file without loading it.
#pragma once

namespace zun::platform {

#define ZUN_VERSION_MARK_PREFIX "@(#)ZunServer "
inline constexpr char kVersionMarkPrefix[] = ZUN_VERSION_MARK_PREFIX;

// Defined once per module build, with that build's version.
extern const char kVersionMark[];

}  // namespace zun::platform
