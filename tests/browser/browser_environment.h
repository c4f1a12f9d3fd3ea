// The store server and the one browser that the tests of this program share.
#pragma once

#include <string>

#include "browser/browser_harness.h"
#include "wizard/local_store.h"

namespace zun::testing {

LocalStore& ThePages();
BrowserHarness& TheBrowser();

}  // namespace zun::testing
