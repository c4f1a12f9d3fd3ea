// The browser control on Windows: the WebBrowser control hosted in place in
// the dialog's host window by an OLE container of the engine's own, with its
// DWebBrowserEvents2 delivered to the dialog.
#pragma once

#include <windows.h>

#include <exdisp.h>

#include "platform/browser.h"
#include "platform/win32/com_ref.h"

namespace zun::platform::win32 {

class BrowserSite;
class BrowserEventSink;

class Win32Browser final : public browser::Browser {
public:
    Win32Browser(HWND host, browser::BrowserEvents& events);
    ~Win32Browser() override;

    // Creates the control and activates it in place.
    Status Start();

    Status Navigate(const char* url, PostDataArgument* postData, const char* headers) override;
    Status GetDocument(dom::DocumentRef* document) override;
    Status SetHostFlags(uint32_t flags) override;
    void TranslateKey(uint32_t message, uint32_t key) override;

    // The host flags the control reads from its client site.
    uint32_t HostFlagsSeenByControl();
    // The control has a window of its own inside the host window.
    bool IsInPlaceActive();

private:
    HWND _host;
    browser::BrowserEvents& _events;
    bool _oleInitialized = false;
    ComRef<BrowserSite> _site;
    ComRef<BrowserEventSink> _sink;
    ComRef<IOleObject> _object;
    ComRef<IWebBrowser2> _browser;
    ComRef<IConnectionPoint> _eventPoint;
    DWORD _eventCookie = 0;
};

}  // namespace zun::platform::win32
