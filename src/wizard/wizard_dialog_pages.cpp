// The wizard dialog's page handling: every completed page is hooked up and
// titles the window; a store page hands over its CartState, the invoice page
// resizes the wizard and gives its links their click handling; the wait page
// connects its buttons.
#include <optional>
#include <string>

#include "base/ascii_text.h"
#include "base/boundary.h"
#include "base/bounded_text.h"
#include "base/trace.h"
#include "cert/store_address.h"
#include "dom/html_element_event_receiver.h"
#include "wizard/wizard_dialog.h"
#include "wizard/wizard_mode.h"

namespace zun {

namespace ui = platform::ui;
namespace dom = platform::dom;

namespace {

// A link keeps its own behaviour when it says XWSNewWindow="false" (any
// case), has no address, or writes mail.
bool GetsClickHandling(dom::Element& link) {
    std::optional<std::string> newWindow;
    if (link.GetAttribute("XWSNewWindow", &newWindow) == 0 && newWindow.has_value() &&
        AsciiLowered(*newWindow) == "false") {
        return false;
    }
    std::optional<std::string> href;
    if (link.GetAttribute("href", &href) != 0 || !href.has_value() || href->empty()) return false;
    return AsciiLowered(*href).find("mailto:") == std::string::npos;
}

}  // namespace

void CWizardDialog::OnBeforeNavigate(const char* url) {
    CallAtBoundary("CWizardDialog::OnBeforeNavigate()", 0, [&] {
        ZUN_TRACE("ZUN: CWizardDialog::OnBeforeNavigate(): Navigating to page %s", TextOrEmpty(url));
        return 0;
    });
}

void CWizardDialog::OnDocumentComplete(const char* url) {
    CallAtBoundary("CWizardDialog::OnDocumentComplete()", 0, [&] {
        ZUN_TRACE("ZUN: Prolog CWizardDialog::OnDocumentComplete(%s)", TextOrEmpty(url));
        if (m_WebBrowser == nullptr) return 0;
        dom::DocumentRef document;
        const Status status = m_WebBrowser->GetDocument(&document);
        if (status != 0 || document == nullptr) {
            ZUN_TRACE("ZUN_E: CWizardDialog::OnDocumentComplete(): get_Document(): Error %u", status);
            return 0;
        }
        HtmlElementEventReceiver::FreeEventConnections();
        m_HTMLElementHandler.HookupDocument(document);

        char title[256] = {};
        m_HTMLElementHandler.GetDocumentTitleText(title, sizeof title);
        ui::SetCaption(m_hWnd, title);

        if (m_nWizardMode == WIZARDMODE_PURCHASE || m_nWizardMode == WIZARDMODE_PURCHASECFU) {
            RunStorePageSteps(*document);
        } else if (IsWaitMode(m_nWizardMode)) {
            HtmlElementEventReceiver::AdviseEventReady("bQuit", m_WebBrowser.get());
            HtmlElementEventReceiver::AdviseEventReady("bRetry", m_WebBrowser.get());
            ShowKeptEngineUpdate();
        }
        ZUN_TRACE("ZUN: Epilog CWizardDialog::OnDocumentComplete()");
        return 0;
    });
}

void CWizardDialog::RunStorePageSteps(dom::Document& document) {
    // Only the store speaks for the order: any other page (a card issuer's
    // check, a site the shopper followed a link to) is shown like a page
    // without the field.
    std::string url;
    if (document.GetUrl(&url) != 0 || !IsStorePage(url)) {
        ZUN_TRACE("ZUN: CWizardDialog::OnDocumentComplete(): %s is not the store: its CartState is not read",
                  OriginForTrace(url).c_str());
        return;
    }
    if (m_HTMLElementHandler.GetCartStateElementValue(m_CartState) != 0) {
        ZUN_TRACE("ZUN_E: CWizardDialog::OnDocumentComplete(): Could not find CartState in page DOM");
        return;
    }
    char pageName[50] = {};
    m_CartState.GetValue("PAGENAME", pageName, sizeof pageName);
    const GatewayRecord* record = m_pGatewayRecord;
    if (TextInBuffer(pageName) != "INVOICE") {
        if (record != nullptr) ResizeWizard(record->wizardWidth, record->wizardHeight, true, false, false);
        return;
    }
    if (record != nullptr) ResizeWizard(record->invoiceWidth, record->invoiceHeight, true, false, true);

    // The store shows a completed order as status 2; the caller knows it as 1.
    char orderStatus[10] = {};
    if (m_CartState.GetValue("_Order.Status", orderStatus, sizeof orderStatus) == 0) {
        if (TextInBuffer(orderStatus) == "2") m_CartState.SetValue("_Order.Status", "1");
        m_CartState.UpdateChecksum();
    }
    AdviseInvoiceLinks();
}

void CWizardDialog::AdviseInvoiceLinks() {
    dom::DocumentRef document;
    dom::CollectionRef all;
    dom::CollectionRef links;
    int32_t count = 0;
    if (m_WebBrowser->GetDocument(&document) != 0 || document == nullptr || document->GetAll(&all) != 0 ||
        all == nullptr || all->Tags("a", &links) != 0 || links == nullptr || links->GetLength(&count) != 0) {
        ZUN_TRACE("ZUN_E: CWizardDialog::OnDocumentComplete(): the page's links could not be read");
        return;
    }
    for (int32_t i = 0; i < count; ++i) {
        dom::ElementRef link;
        if (links->ItemByIndex(i, &link) != 0 || link == nullptr) continue;
        if (GetsClickHandling(*link)) HtmlElementEventReceiver::AdviseEventReady(link, m_WebBrowser.get());
    }
}

}  // namespace zun
