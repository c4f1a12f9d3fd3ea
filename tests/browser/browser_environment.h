// The page server and the one browser that the tests of this program share.
#pragma once

#include "browser/browser_harness.h"
#include "browser/page_server.h"

namespace zun::testing {

PageServer& ThePages();
BrowserHarness& TheBrowser();

}  // namespace zun::testing
