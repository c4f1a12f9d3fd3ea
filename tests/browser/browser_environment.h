// The page server and the one browser that the tests of this program share.
#pragma once

#include <string>

#include "browser/browser_harness.h"
#include "browser/page_server.h"

namespace zun::testing {

PageServer& ThePages();
BrowserHarness& TheBrowser();
// The address the engine gives the browser for one of its embedded pages.
std::string EmbeddedPageUrl(const char* name);

}  // namespace zun::testing
