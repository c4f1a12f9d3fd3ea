#include "dom/html_element_event_receiver.h"

#include <string>

#include "base/ascii_text.h"
#include "base/bounded_text.h"
#include "base/trace.h"
#include "cert/store_address.h"
#include "dom/html_element.h"
#include "dom/wait_page_wizard.h"

namespace zun {

namespace dom = platform::dom;

namespace {

// Receivers of one kind, owned, in the order they were connected.
template <typename Receiver>
struct ReceiverTable {
    std::array<std::unique_ptr<Receiver>, HtmlElementEventReceiver::kTableSize> slots;
    size_t count = 0;

    bool Full() const { return count >= slots.size(); }
    void Add(std::unique_ptr<Receiver> receiver) { slots[count++] = std::move(receiver); }
    void Clear() {
        for (size_t i = 0; i < count; ++i) slots[i].reset();
        count = 0;
    }
};

ReceiverTable<HtmlElementEventReceiver>& ElementTable() {
    static ReceiverTable<HtmlElementEventReceiver> table;
    return table;
}

ReceiverTable<HtmlAnchorEventReceiver>& AnchorTable() {
    static ReceiverTable<HtmlAnchorEventReceiver> table;
    return table;
}

dom::DocumentRef CurrentDocument(platform::browser::Browser* browser) {
    dom::DocumentRef document;
    if (browser == nullptr || browser->GetDocument(&document) != 0) return nullptr;
    return document;
}

template <typename Receiver, typename Target>
Status AdviseInto(ReceiverTable<Receiver>& table, const Target& target, platform::browser::Browser* browser) {
    if (table.Full()) {
        ZUN_TRACE("ZUN_E: HtmlElementEventReceiver::AdviseEventReady(): Index out of range");
        return ZUN_E_NO_EVENT_SLOT;
    }
    auto receiver = std::make_unique<Receiver>();
    receiver->SetBrowser(browser);
    const Status status = receiver->InnerAdviseEventReady(target);
    if (status != 0) {
        ZUN_TRACE("ZUN_E: HtmlElementEventReceiver::AdviseEventReady(): eh->InnerAdviseEventReady returns %u", status);
    } else {
        table.Add(std::move(receiver));
    }
    return 0;
}

}  // namespace

Status HtmlElementEventReceiver::AdviseEventReady(const char* elementId, Browser* browser) {
    ZUN_TRACE("ZUN: Prolog HtmlElementEventReceiver::AdviseEventReady()");
    const Status status = AdviseInto(ElementTable(), elementId, browser);
    ZUN_TRACE("ZUN: Epilog HtmlElementEventReceiver::AdviseEventReady()");
    return status;
}

Status HtmlElementEventReceiver::AdviseEventReady(const ElementRef& element, Browser* browser) {
    ZUN_TRACE("ZUN: Prolog HtmlElementEventReceiver::AdviseEventReady()");
    if (element == nullptr) return ZUN_E_INVALID_ARG;
    dom::DocumentRef document = CurrentDocument(browser);
    if (document == nullptr) return ZUN_E_NOT_FOUND;

    // The element must belong to the shown document: the element at its
    // source index there must carry its tag name.
    int32_t sourceIndex = -1;
    dom::CollectionRef all;
    ElementRef atIndex;
    std::string tagName;
    std::string tagAtIndex;
    if (element->GetSourceIndex(&sourceIndex) != 0 || document->GetAll(&all) != 0 || all == nullptr ||
        all->ItemByIndex(sourceIndex, &atIndex) != 0 || atIndex == nullptr || element->GetTagName(&tagName) != 0 ||
        atIndex->GetTagName(&tagAtIndex) != 0) {
        return ZUN_E_NOT_FOUND;
    }
    if (tagAtIndex != tagName) return ZUN_E_INVALID_ARG;

    const Status status = AsciiLowered(tagName) == "a" ? AdviseInto(AnchorTable(), element, browser)
                                                   : AdviseInto(ElementTable(), element, browser);
    if (status == 0) ZUN_TRACE("ZUN: Epilog HtmlElementEventReceiver::AdviseEventReady()");
    return status;
}

void HtmlElementEventReceiver::FreeEventConnections() {
    ZUN_TRACE("ZUN: HtmlElementEventReceiver::FreeEventConnections(): Currently %u Connections",
              static_cast<unsigned>(ElementTable().count));
    ElementTable().Clear();
    AnchorTable().Clear();
}

void HtmlElementEventReceiver::InitEventConnections() {
    // The tables own their receivers: starting over releases them too.
    ElementTable().Clear();
    AnchorTable().Clear();
}

size_t HtmlElementEventReceiver::ElementReceiverCount() { return ElementTable().count; }
size_t HtmlElementEventReceiver::AnchorReceiverCount() { return AnchorTable().count; }

Status HtmlElementEventReceiver::InnerAdviseEventReady(const char* elementId) {
    ZUN_TRACE("ZUN: Prolog HtmlElementEventReceiver::InnerAdviseEventReady(%s)", TextOrEmpty(elementId));
    if (browser == nullptr) {
        ZUN_TRACE("ZUN_E: Epilog HtmlElementEventReceiver::InnerAdviseEventReady: Browser is null");
        return ZUN_E_NOT_FOUND;
    }
    dom::DocumentRef document = CurrentDocument(browser);
    if (document == nullptr) {
        ZUN_TRACE("ZUN_E: Epilog HtmlElementEventReceiver::InnerAdviseEventReady: iHtmlDocument2 is null");
        return ZUN_E_NOT_FOUND;
    }
    HtmlElement page;
    page.HookupDocument(document);
    ElementRef element;
    const Status status = page.GetElement(elementId, &element);
    if (status != 0) {
        ZUN_TRACE("ZUN_E: Epilog HtmlElementEventReceiver::InnerAdviseEventReady:  elem.GetElement returns %u", status);
        return status;
    }
    source = element;
    return Connect();
}

Status HtmlElementEventReceiver::InnerAdviseEventReady(const ElementRef& element) {
    ZUN_TRACE("ZUN: Prolog HtmlElementEventReceiver::InnerAdviseEventReady(%s)", "");
    if (browser == nullptr) {
        ZUN_TRACE("ZUN_E: Epilog HtmlElementEventReceiver::InnerAdviseEventReady: Browser is null");
        return ZUN_E_NOT_FOUND;
    }
    if (element == nullptr) return ZUN_E_INVALID_ARG;
    source = element;
    return Connect();
}

Status HtmlElementEventReceiver::Connect() {
    const Status status = source->ConnectClick(Events(), *this, &_connection);
    ZUN_TRACE("ZUN: HtmlElementEventReceiver::InnerAdviseEventReady: this->DispEventAdvise() returns %u", status);
    return status;
}

bool HtmlElementEventReceiver::OnElementClick(const ElementRef& clicked) {
    ZUN_TRACE("ZUN: Prolog HtmlElementEventReceiver::OnElementClick()");
    WaitPageWizard& wizard = TheWaitPageWizard();
    if (!wizard.ShowsWaitPage()) return false;
    std::string id;
    if (clicked != nullptr) clicked->GetId(&id);
    wizard.AnswerWaitPage(id == "bRetry");
    return false;
}

bool HtmlAnchorEventReceiver::OnAnchorClick(const ElementRef& clicked) {
    ElementRef anchor;
    ElementRef at = clicked;
    for (int level = 0; level < 100 && at != nullptr; ++level) {
        std::string tagName;
        if (at->GetTagName(&tagName) == 0 && AsciiLowered(tagName) == "a") {
            anchor = at;
            break;
        }
        ElementRef parent;
        if (at->GetParentElement(&parent) != 0) break;
        at = parent;
    }
    if (anchor == nullptr) return false;
    std::optional<std::string> href;
    if (anchor->GetAttribute("href", &href) != 0 || !href.has_value() || href->empty()) return false;
    // A new window shows web pages only: never a local file or a script URL,
    // which a page could not open itself.
    const std::string address = AsciiLowered(*href);
    if (!address.starts_with("http://") && !address.starts_with("https://")) {
        ZUN_TRACE("ZUN_E: HtmlAnchorEventReceiver::OnAnchorClick(): %s is no web address: not opened",
                  OriginForTrace(*href).c_str());
        return false;
    }
    if (dom::DocumentRef document = CurrentDocument(browser)) document->OpenWindow(href->c_str());
    return false;
}

}  // namespace zun
