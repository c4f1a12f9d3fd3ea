// Dialogs opened one after another inside a shared-browser scope, as a
// purchase call opens the wait window and then the wizard: one browser
// serves them, a browser that died or no longer fits is replaced, and
// nothing of it is left once the scope ends.
#include <signal.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>

#include "browser/browser_environment.h"
#include "platform/browser.h"
#include "platform/posix/chromium_browser.h"
#include "processes.h"
#include "ui/test_dialog.h"

namespace zun {
namespace {

namespace ui = platform::ui;
using platform::browser::SharedBrowserScope;

struct Shown {
    Status created = 1;
    bool loaded = false;
    int processId = -1;
    int pages = -1;  // the browser's pages while the dialog showed its own
};

// A dialog on the calling thread that shows `url` and ends once it has
// loaded (or its browser failed).
class PageDialog final : public platform::browser::BrowserEvents {
public:
    Shown Show(const std::string& url) {
        testing::TestDialog dialog;
        dialog.onInit = [&](ui::WindowHandle self) {
            _window = self;
            std::unique_ptr<platform::browser::Browser> browser;
            _shown.created = platform::browser::CreateBrowser(self, ui::kBrowserControlId, *this, &browser);
            _browser.reset(static_cast<platform::posix::ChromiumBrowser*>(browser.release()));
            if (_browser == nullptr || _browser->Navigate(url.c_str(), nullptr, nullptr) != 0) ui::EndDialog(self, -1);
        };
        dialog.Run();
        _browser.reset();
        return _shown;
    }

    void OnDocumentComplete(const char*) override {
        _shown.loaded = true;
        _shown.processId = _browser->ProcessId();
        _shown.pages = _browser->PageCount();
        ui::EndDialog(_window, 0);
    }
    void OnBrowserFailed(Status) override { ui::EndDialog(_window, -1); }
    void OnBeforeNavigate2(const char*) override {}
    void OnDownloadBegin() override {}
    void OnDownloadComplete() override {}
    void OnProgressChange(int32_t, int32_t) override {}
    void OnSetSecureLockIcon(int32_t) override {}

private:
    ui::WindowHandle _window = nullptr;
    std::unique_ptr<platform::posix::ChromiumBrowser> _browser;
    Shown _shown;
};

Shown ShowPage(const char* path) { return PageDialog().Show(testing::ThePages().Http(path)); }

// Whether a process of the browser's group still runs after a moment.
bool GroupRuns(int group) {
    return testing::ProcessStays([&](const std::filesystem::path& process) {
        return testing::IsLiveMemberOf(process, group);
    });
}

TEST(SharedBrowser, DialogsOfOneScopeAndThreadShareOneBrowserThatEndsWithTheScope) {
    // Outside a scope every dialog's browser ends with it.
    const Shown alone = ShowPage("/pages/elements.html");
    ASSERT_TRUE(alone.loaded);
    EXPECT_FALSE(GroupRuns(alone.processId));

    Shown first;
    {
        SharedBrowserScope call;
        {
            SharedBrowserScope nested;  // a call made from inside the call
            first = ShowPage("/pages/elements.html");
        }
        ASSERT_TRUE(first.loaded);
        EXPECT_TRUE(GroupRuns(first.processId)) << "kept for the next dialog";
        const Shown second = ShowPage("/pages/links.html");
        ASSERT_TRUE(second.loaded);
        EXPECT_EQ(second.processId, first.processId);
        EXPECT_EQ(second.pages, 1) << "the first dialog's page is gone";
        // A scope on another thread shares nothing.
        Shown other;
        std::thread([&] {
            SharedBrowserScope otherCall;
            other = ShowPage("/pages/elements.html");
        }).join();
        ASSERT_TRUE(other.loaded);
        EXPECT_NE(other.processId, first.processId);
        EXPECT_FALSE(GroupRuns(other.processId));
    }
    EXPECT_FALSE(GroupRuns(first.processId));
}

TEST(SharedBrowser, AKeptBrowserThatDiedOrNoLongerFitsIsReplaced) {
    const std::string flags = std::getenv("ZUN_BROWSER_FLAGS");
    for (const bool dies : {true, false}) {
        SharedBrowserScope call;
        const Shown first = ShowPage("/pages/elements.html");
        ASSERT_TRUE(first.loaded);
        if (dies) {
            ASSERT_EQ(kill(-first.processId, SIGKILL), 0);
            ASSERT_FALSE(GroupRuns(first.processId));
        } else {
            setenv("ZUN_BROWSER_FLAGS", (flags + " --mute-audio").c_str(), 1);
        }
        const Shown second = ShowPage("/pages/links.html");
        setenv("ZUN_BROWSER_FLAGS", flags.c_str(), 1);
        EXPECT_TRUE(second.loaded) << dies;
        EXPECT_NE(second.processId, first.processId) << dies;
        EXPECT_FALSE(GroupRuns(first.processId)) << dies;
    }
}

}  // namespace
}  // namespace zun
