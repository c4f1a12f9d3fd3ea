// The size of the page a browser window shows, as a person sees it: a tab
// strip or an address bar above the page would make it shorter than the
// window.
#pragma once

#include <chrono>
#include <thread>
#include <vector>

#include "platform/posix/chromium_browser.h"

namespace zun::testing {

// The page's width and height once they are `expected` (the page follows a
// resize of its window a moment later), or the last ones it reported.
inline std::vector<double> SettledPageSize(platform::posix::ChromiumBrowser& browser,
                                           const std::vector<double>& expected) {
    std::vector<double> size;
    for (int attempt = 0; attempt < 40; ++attempt) {
        browser.EvaluateNumbers("[innerWidth, innerHeight]", &size);
        if (size == expected) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return size;
}

}  // namespace zun::testing
