// browser port: the browser control of a dialog, its navigation with a raw
// POST body, and its events, which arrive on the dialog's thread.
#pragma once

#include <cstdint>
#include <memory>

#include "base/status.h"
#include "platform/dom.h"
#include "platform/post_data.h"
#include "platform/ui.h"

namespace zun::platform::browser {

// The secure lock values of SetSecureLockIcon.
inline constexpr int32_t kLockUnsecure = 0;
inline constexpr int32_t kLockMixed = 1;
inline constexpr int32_t kLockSecureUnknownBits = 2;
inline constexpr int32_t kLockSecure40Bit = 3;
inline constexpr int32_t kLockSecure56Bit = 4;
inline constexpr int32_t kLockSecureFortezza = 5;
inline constexpr int32_t kLockSecure128Bit = 6;

class BrowserEvents {
public:
    virtual void OnBeforeNavigate2(const char* url) = 0;
    // The main frame's document has loaded.
    virtual void OnDocumentComplete(const char* url) = 0;
    virtual void OnDownloadBegin() = 0;
    virtual void OnDownloadComplete() = 0;
    virtual void OnProgressChange(int32_t progress, int32_t progressMax) = 0;
    virtual void OnSetSecureLockIcon(int32_t secureLockIcon) = 0;
    // The browser could not be started or has gone away; it sends nothing
    // more and every call on it fails.
    virtual void OnBrowserFailed(Status status) = 0;

protected:
    ~BrowserEvents() = default;
};

class Browser {
public:
    virtual ~Browser() = default;
    // Navigates the top frame. With a body the request is a POST of exactly
    // those bytes; `headers` holds "Name: value\r\n" lines (may be null).
    virtual Status Navigate(const char* url, PostDataArgument* postData, const char* headers) = 0;
    // The document shown now.
    virtual Status GetDocument(dom::DocumentRef* document) = 0;
    // The host's DOCHOSTUIFLAG bits for the control.
    virtual Status SetHostFlags(uint32_t flags) = 0;
    // Keyboard messages the control translates before the dialog sees them.
    virtual void TranslateKey(uint32_t message, uint32_t key) = 0;
};

// While one lives on a thread, the browser controls that thread creates one
// after another share one browser: a control that closes leaves its browser
// to the next, so that a call's dialogs pay for one browser start. That
// browser ends with the outermost scope. Scopes opened on another thread
// meanwhile share nothing.
class SharedBrowserScope {
public:
    SharedBrowserScope();
    ~SharedBrowserScope();
    SharedBrowserScope(const SharedBrowserScope&) = delete;
    SharedBrowserScope& operator=(const SharedBrowserScope&) = delete;

private:
    bool _active = false;
};

// Creates the browser control in the dialog's control `controlId`. Events go
// to `events` on the dialog's thread until the browser is destroyed.
Status CreateBrowser(ui::WindowHandle dialog, int controlId, BrowserEvents& events,
                     std::unique_ptr<Browser>* browser);

}  // namespace zun::platform::browser
