// Clicks on elements of the page shown in the wizard's browser, brought back
// into the engine. Element receivers serve the wait page's buttons: a click
// becomes two notices to the running wizard window. Anchor receivers serve
// the store's marked links: a click opens the link in a new browser window
// and the wizard's page stays.
//
// Each receiver is connected to one element; the class keeps every live
// receiver in one of two tables of 128, which the dialog empties on every
// completed page and when it closes. All of this runs on the dialog's thread.
#pragma once

#include <array>
#include <memory>

#include "base/status.h"
#include "platform/browser.h"
#include "platform/dom.h"

namespace zun {

class HtmlElementEventReceiver : public platform::dom::ClickSink {
public:
    using ElementRef = platform::dom::ElementRef;
    using Browser = platform::browser::Browser;

    static constexpr size_t kTableSize = 128;

    // Connects an element receiver to the element `elementId` of the
    // browser's current document.
    static Status AdviseEventReady(const char* elementId, Browser* browser);
    // Connects an anchor receiver ("a" elements) or an element receiver (any
    // other tag) to an element of the browser's current document.
    static Status AdviseEventReady(const ElementRef& element, Browser* browser);
    static void FreeEventConnections();
    static void InitEventConnections();
    static size_t ElementReceiverCount();
    static size_t AnchorReceiverCount();

    virtual ~HtmlElementEventReceiver() = default;

    // The browser whose current document holds the element; set before
    // connecting.
    void SetBrowser(Browser* owner) { browser = owner; }

    Status InnerAdviseEventReady(const char* elementId);
    Status InnerAdviseEventReady(const ElementRef& element);

    // Cancels the click's default action (false) always.
    bool OnElementClick(const ElementRef& source);
    bool OnClick(const ElementRef& source) override { return OnElementClick(source); }

protected:
    virtual platform::dom::ClickEvents Events() const { return platform::dom::ClickEvents::InputElement; }
    Status Connect();

    Browser* browser = nullptr;  // not owned
    ElementRef source;
    std::unique_ptr<platform::dom::ClickConnection> _connection;
};

class HtmlAnchorEventReceiver final : public HtmlElementEventReceiver {
public:
    // Opens the clicked link's "href" in a new window; the wizard's page
    // stays (false cancels the link).
    bool OnAnchorClick(const ElementRef& source);
    bool OnClick(const ElementRef& source) override { return OnAnchorClick(source); }

protected:
    platform::dom::ClickEvents Events() const override { return platform::dom::ClickEvents::Anchor; }
};

}  // namespace zun
