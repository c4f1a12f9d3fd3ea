// The browser a closed control leaves for the next control of the same
// shared-browser scope (platform/browser.h): at most one is kept, unattached,
// with one blank page; it ends with the scope.
#pragma once

#include <memory>

#include "platform/posix/chromium_process.h"

namespace zun::platform::posix {

// The kept browser when this thread's scope keeps one that was started as
// `launch` asks and is still running; otherwise null. A kept browser that
// does not fit is ended.
std::unique_ptr<ChromiumProcess> TakeKeptBrowser(const BrowserLaunch& launch);

// Keeps `process` for the next control when a scope is open on this thread
// and nothing is kept yet, with its pages cleared; ends it otherwise.
void ReleaseBrowser(std::unique_ptr<ChromiumProcess> process);

}  // namespace zun::platform::posix
