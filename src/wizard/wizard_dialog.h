// CWizardDialog: the modal dialog (template 103) in which the engine shows the
// vendor's web store, and, in its wait modes, the embedded wait page while the
// initial handshake runs. It hosts the browser control, opens the store with
// the pre-fill POST, reads the CartState of every completed store page,
// resizes itself for the invoice page and keeps the last page's state for the
// controller. Its status bar shows the lock, the zone and download progress.
//
// The controller constructs one on its stack, sets m_nWizardMode,
// m_pGatewayRecord and, for a purchase, m_szPostData and m_pCertificateBlob,
// calls DoModal and reads GetCartState; the dialog never outlives that call.
//
// It receives the wait notices whose protocol wizard/wait_dialog_notice.h
// sets out, the connection-error question included.
//
// The dialog keeps the event and slot of the last question and whether it is
// still open. It answers a question at most once: a Retry or Cancel click in
// mode 7 writes 4 or 2 into the slot and then signals; a question still open
// when a newer one arrives, or when the dialog is destroyed, is signalled with
// the slot left as the sender filled it. After that the dialog never touches
// the event again.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "base/status.h"
#include "cert/certificatemanager.h"
#include "dom/html_element.h"
#include "platform/browser.h"
#include "platform/sync.h"
#include "platform/ui.h"
#include "shopper/purchase_post_data.h"
#include "state/cartstate.h"
#include "zunserver/zunserver.h"

namespace zun {

class CWizardDialog final : public platform::ui::DialogHandler, public platform::browser::BrowserEvents {
public:
    using WindowHandle = platform::ui::WindowHandle;

    // Pane right edges are measured from the client area's right edge.
    static constexpr int kStatusBarPartCount = 5;
    static constexpr int kLockPane = 3;
    static constexpr int kZonePane = 4;

    CWizardDialog();
    ~CWizardDialog();
    CWizardDialog(const CWizardDialog&) = delete;
    CWizardDialog& operator=(const CWizardDialog&) = delete;

    // Runs the dialog modally on the calling thread with `owner` (may be
    // null). Returns the end code: -1 for the close box, 2 for Esc; -1 too
    // when the dialog could not be created.
    intptr_t DoModal(WindowHandle owner);
    // The state of the last store page that carried one.
    CartState* GetCartState() { return &m_CartState; }

    // Sizes the window (cut to the work area), grows the browser area and,
    // when asked, the status bar by the same amounts, gives the browser its
    // host flags and centres the window. Nothing for a size <= 0.
    void ResizeWizard(int32_t width, int32_t height, bool resizeStatusBar, bool dialogStyle, bool center);
    // Hides the window off-screen as a tool window, or shows it again where
    // it was. Showing returns 0 when the window was not hidden.
    int HideWizard(bool hide);
    void SetStatusBarParts();
    Status SetRocketIcon();

    // Message handlers.
    intptr_t OnInitDialog();
    intptr_t OnClose();
    intptr_t OnClickedCancel();
    intptr_t OnWaitDialogNotice(uintptr_t kind, intptr_t lParam);
    intptr_t OnTimerEventFired(uintptr_t timerId);
    intptr_t OnStatusBarDoubleClick(uintptr_t keys, intptr_t position);
    intptr_t OnStatusBarButtonDown(uintptr_t keys, intptr_t position);

    // Browser event handlers; the wait notices use the download ones too.
    void OnBeforeNavigate(const char* url);
    void OnDocumentComplete(const char* url) override;
    void OnDownloadBegin() override;
    void OnDownloadComplete() override;
    void OnProgressChange(int32_t progress, int32_t progressMax) override;
    void OnSetSecureLockIcon(int32_t secureLockIcon) override;
    void OnSetSecureLockIcon(bool secure, const char* tooltip, int iconId);
    void OnBrowserFailed(Status status) override;

    // What the dialog shows, for its owner and tests.
    WindowHandle Window() const { return m_hWnd; }
    WindowHandle StatusBar() const { return m_wndStatusBar; }
    WindowHandle ProgressBar() const { return m_wndProgress; }
    platform::browser::Browser* Browser() const { return m_WebBrowser.get(); }
    uint32_t DocHostFlags() const { return m_dwDocHostFlags; }
    bool IsConnectionErrorQuestionOpen() const { return m_bConnectionErrorOpen; }

    // Set by the controller before DoModal.
    int32_t m_nWizardMode = 0;
    PostDataBuffer m_szPostData = {};
    GatewayRecord* m_pGatewayRecord = nullptr;
    const char* m_pCertificateBlob = nullptr;

private:
    // ui::DialogHandler
    intptr_t OnMessage(WindowHandle dialog, uint32_t message, uintptr_t wParam, intptr_t lParam,
                       bool& handled) override;
    void OnStatusBarMouse(WindowHandle dialog, uint32_t message, uintptr_t keys, intptr_t position) override;
    void OnBeforeNavigate2(const char* url) override { OnBeforeNavigate(url); }

    void Navigate();
    void RunStorePageSteps(platform::dom::Document& document);
    void AdviseInvoiceLinks();
    void ShowWaitTexts(const char* topText, const char* bottomText);
    void ShowEngineUpdate(const char* topText, const char* bottomText);
    void ShowKeptEngineUpdate();
    void RememberConnectionErrorQuestion(uintptr_t event, uintptr_t resultSlot);
    void AnswerConnectionErrorQuestion(uint32_t answer);
    void ReleaseConnectionErrorQuestion();
    void CreateStatusBar();
    // Drops everything that belongs to the browser, before its window goes.
    void OnDestroy();

    WindowHandle m_hWnd = nullptr;
    WindowHandle m_hOwner = nullptr;
    WindowHandle m_wndBrowserHost = nullptr;
    std::unique_ptr<platform::browser::Browser> m_WebBrowser;
    CertificateManager m_CertificateManager;
    WindowHandle m_wndStatusBar = nullptr;
    HtmlElement m_HTMLElementHandler;
    CartState m_CartState;
    uint32_t m_dwDocHostFlags = 0;
    WindowHandle m_wndProgress = nullptr;
    platform::ui::Rect m_rcSaved;
    platform::sync::EventHandle m_hConnectionErrorEvent = nullptr;  // not owned
    uint32_t* m_pConnectionErrorResult = nullptr;                   // not owned
    bool m_bConnectionErrorOpen = false;
    // The worker tells of an engine update once. When that notice comes
    // before the wait page has loaded, its texts are kept here and shown as
    // soon as the page is ready, so the shopper still learns of the update.
    bool m_bEngineUpdateKept = false;
    std::string m_keptUpdateTop;
    std::string m_keptUpdateBottom;
    uint32_t m_dwInstanceTag = 0;
};

}  // namespace zun
