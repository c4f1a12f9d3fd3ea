// A wizard-like dialog with a browser, run on a thread of its own for a whole
// group of tests: one browser process serves many tests. Tests hand work to
// the dialog's thread with Do() and wait for the browser's events.
#pragma once

#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/browser.h"
#include "platform/posix/chromium_browser.h"
#include "ui/test_dialog.h"

namespace zun::testing {

struct BrowserEvent {
    std::string kind;
    std::string url;
    int32_t value = 0;
    std::thread::id thread;
};

class BrowserHarness final : public DialogRunner, public platform::browser::BrowserEvents {
public:
    BrowserHarness() {
        // The window's close box ends the dialog with -1, as the wizard's
        // does; commands are only recorded, so that Esc leaves the shared
        // browser running.
        _dialog.handlers[platform::ui::kMsgClose] = [this](platform::ui::WindowHandle self, uintptr_t,
                                                           intptr_t) -> intptr_t {
            Add("Close", "", 0);
            platform::ui::EndDialog(self, -1);
            return 0;
        };
        _dialog.handlers[platform::ui::kMsgCommand] = [this](platform::ui::WindowHandle, uintptr_t command,
                                                             intptr_t) -> intptr_t {
            Add("Command", "", static_cast<int32_t>(command));
            return 0;
        };
        _dialog.onInit = [this](platform::ui::WindowHandle self) {
            std::unique_ptr<platform::browser::Browser> browser;
            const Status status =
                platform::browser::CreateBrowser(self, platform::ui::kBrowserControlId, *this, &browser);
            _browser.reset(static_cast<platform::posix::ChromiumBrowser*>(browser.release()));
            Record([&] {
                _window = self;
                _thread = std::this_thread::get_id();
                _createStatus = status;
                _started = true;
            });
            // A dialog whose browser cannot start reports it and ends.
            if (status != 0) platform::ui::EndDialog(self, -1);
        };
        Start([this] { return _dialog.Run(); });
        WaitFor([this] { return _started; }, std::chrono::seconds(30));
    }

    ~BrowserHarness() override {
        Do([this] {
            _browser.reset();
            platform::ui::EndDialog(_window, 0);
        });
        Join();
    }

    Status CreateStatus() const { return _createStatus; }
    platform::posix::ChromiumBrowser& Browser() { return *_browser; }
    platform::ui::WindowHandle Window() const { return _window; }
    std::thread::id DialogThread() const { return _thread; }

    // Runs `work` on the dialog's thread and waits for it; false when the
    // dialog has ended.
    bool Do(std::function<void()> work) { return DialogRunner::Do(_window, std::move(work)); }

    size_t Count(const std::string& kind) {
        size_t count = 0;
        Record([&] { count = CountLocked(kind); });
        return count;
    }

    // Navigates and waits for the page's document complete.
    bool Open(const std::string& url, platform::PostDataArgument* body = nullptr, const char* headers = nullptr) {
        const size_t before = Count("DocumentComplete");
        Status status = 1;
        Do([&] { status = _browser->Navigate(url.c_str(), body, headers); });
        return status == 0 && WaitForCount("DocumentComplete", before + 1);
    }

    bool WaitForCount(const std::string& kind, size_t count, std::chrono::milliseconds limit = std::chrono::seconds(15)) {
        return WaitFor([&] { return CountLocked(kind) >= count; }, limit);
    }

    std::vector<BrowserEvent> TakeEvents() {
        std::vector<BrowserEvent> events;
        Record([&] { events.swap(_events); });
        return events;
    }
    void OnBeforeNavigate2(const char* url) override { Add("BeforeNavigate2", url, 0); }
    void OnDocumentComplete(const char* url) override { Add("DocumentComplete", url, 0); }
    void OnDownloadBegin() override { Add("DownloadBegin", "", 0); }
    void OnDownloadComplete() override { Add("DownloadComplete", "", 0); }
    void OnProgressChange(int32_t progress, int32_t) override { Add("ProgressChange", "", progress); }
    void OnSetSecureLockIcon(int32_t value) override { Add("SetSecureLockIcon", "", value); }
    void OnBrowserFailed(Status status) override {
        Add("BrowserFailed", "", static_cast<int32_t>(status));
        // As the wizard does: report and end.
        platform::ui::EndDialog(_window, -1);
    }

private:
    size_t CountLocked(const std::string& kind) const {
        return std::count_if(_events.begin(), _events.end(), [&](const BrowserEvent& e) { return e.kind == kind; });
    }
    void Add(const char* kind, const char* url, int32_t value) {
        Record([&] { _events.push_back({kind, url, value, std::this_thread::get_id()}); });
    }

    TestDialog _dialog;
    std::unique_ptr<platform::posix::ChromiumBrowser> _browser;
    std::vector<BrowserEvent> _events;
    platform::ui::WindowHandle _window = nullptr;
    std::thread::id _thread;
    Status _createStatus = 1;
    bool _started = false;
};

}  // namespace zun::testing
