// The browser control on Linux: a page of a browser process, driven over its
// DevTools pipe; the process is the dialog's own, or shared by the dialogs
// of a call (browser_reuse.h). Besides the port, it offers what tests need
// to act as the person in front of the window.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/browser.h"

namespace zun::platform::posix {

class ChromiumSession;

class ChromiumBrowser final : public browser::Browser {
public:
    explicit ChromiumBrowser(std::shared_ptr<ChromiumSession> session);
    ~ChromiumBrowser() override;

    Status Navigate(const char* url, PostDataArgument* postData, const char* headers) override;
    Status GetDocument(dom::DocumentRef* document) override;
    Status SetHostFlags(uint32_t flags) override;
    void TranslateKey(uint32_t message, uint32_t key) override;

    // A mouse click at the centre of the element, as a person makes it.
    Status Click(dom::Element& element);
    // A key pressed and released in the page, as a person presses it, with
    // `modifiers` held (1 Alt, 2 Ctrl, 4 Meta, 8 Shift).
    Status PressKey(const char* key, int windowsKeyCode, int modifiers = 0);
    // The browser window's bounds and state ("normal", "minimized", ...).
    Status GetWindowBounds(ui::Rect* bounds, std::string* state);
    // The page's target id, as other DevTools clients name it.
    std::string TargetId();
    // The numbers of an array a script expression of the page gives, such as
    // the page's size or an element's box; fails for anything else.
    Status EvaluateNumbers(const char* expression, std::vector<double>* numbers);
    // The element a script expression of the page names (null when none).
    Status FindElement(const char* expression, dom::ElementRef* element);
    // The browser's open pages (windows and tabs).
    int PageCount();
    // The text of the last alert the page showed.
    std::string LastDialogMessage();
    bool IsHeadless() const;
    // The browser's main process.
    int ProcessId() const;

private:
    std::shared_ptr<ChromiumSession> _session;
};

}  // namespace zun::platform::posix
