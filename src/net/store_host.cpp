#include "net/store_host.h"

#include <cstdlib>

#include "base/bounded_text.h"

namespace zun {
namespace {

struct StoreHostText {
    StoreHostText() {
        CopyText(text, kDefaultStoreHost);
        const char* replacement = std::getenv("ZUN_STORE_HOST");
        if (replacement != nullptr && replacement[0] != '\0' && CopyText(text, replacement) != 0) {
            // A name that does not fit would send requests to a cut name.
            CopyText(text, kDefaultStoreHost);
        }
    }
    char text[kStoreHostSize] = {};
};

StoreHostText g_storeHost;

}  // namespace

char* StoreHost() { return g_storeHost.text; }

}  // namespace zun
