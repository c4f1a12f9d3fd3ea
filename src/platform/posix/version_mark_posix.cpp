// The version mark of one module build; ZUN_VERSION_TEXT is the build's
// version a.b.c.d.
#include "platform/posix/version_mark.h"

namespace zun::platform {

[[gnu::used]] extern const char kVersionMark[] = ZUN_VERSION_MARK_PREFIX ZUN_VERSION_TEXT;

}  // namespace zun::platform
