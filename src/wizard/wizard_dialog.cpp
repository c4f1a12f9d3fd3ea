// The wizard dialog's life: construction, initialisation, sizing, hiding, the
// messages that end it, and destruction.
#include "wizard/wizard_dialog.h"

#include <algorithm>
#include <chrono>
#include <string>

#include "base/boundary.h"
#include "base/bounded_text.h"
#include "base/trace.h"
#include "dom/html_element_event_receiver.h"
#include "net/store_host.h"
#include "wizard/engine_module_text.h"
#include "wizard/wait_dialog_notice.h"
#include "wizard/wizard_window_registry.h"
#include "wizard/wizard_keyboard_hook.h"
#include "wizard/wizard_mode.h"

namespace zun {

namespace ui = platform::ui;

namespace {

// Host flags: dialog, no 3-D border, no scroll bars; and the theme.
constexpr uint32_t kDocHostDialogStyle = 0x0D;
constexpr uint32_t kDocHostTheme = 0x40000;
// Used when the desktop work area cannot be read.
constexpr ui::Rect kFallbackWorkArea{0, 0, 5000, 5000};

constexpr char kPrefillPath[] = "/secure/Prefill.aspx";
constexpr char kFormHeaders[] = "Content-Type: application/x-www-form-urlencoded\r\n";

}  // namespace

CWizardDialog::CWizardDialog() {
    wizard_keyboard::AddFilterFlags(wizard_keyboard::kTranslateThroughBrowser | wizard_keyboard::kFilteringOn);
    m_dwInstanceTag = static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                                std::chrono::steady_clock::now().time_since_epoch())
                                                .count());
    ZUN_TRACE("ZUN: CWizardDialog::CWizardDialog(): Address is %x", m_dwInstanceTag);
}

CWizardDialog::~CWizardDialog() {
    ZUN_TRACE("ZUN: CWizardDialog::~CWizardDialog(): Address is %x", m_dwInstanceTag);
    wizard_keyboard::RemoveKeyboardHook();
    ReleaseConnectionErrorQuestion();
    HtmlElementEventReceiver::FreeEventConnections();
}

intptr_t CWizardDialog::DoModal(WindowHandle owner) {
    m_hOwner = owner;
    intptr_t code = -1;
    const Status status = ui::RunModalDialog(ui::kWizardDialogTemplate, owner, *this, 0, &code);
    if (status != 0) {
        ZUN_TRACE("ZUN_E: CWizardDialog::DoModal(): DialogBoxParam(): Error %u", status);
        return -1;
    }
    return code;
}

intptr_t CWizardDialog::OnMessage(WindowHandle dialog, uint32_t message, uintptr_t wParam, intptr_t lParam,
                                  bool& handled) {
    return CallAtBoundary("CWizardDialog::ProcessWindowMessage()", intptr_t{0}, [&]() -> intptr_t {
        switch (message) {
        case ui::kMsgInitDialog:
            m_hWnd = dialog;
            return OnInitDialog();
        case ui::kMsgClose:
            handled = true;
            return OnClose();
        case WM_WAITDIALOGNOTICE:
            handled = true;
            return OnWaitDialogNotice(wParam, lParam);
        case ui::kMsgTimer:
            handled = true;
            return OnTimerEventFired(wParam);
        case ui::kMsgCommand:
            // IDCANCEL with BN_CLICKED: the dialog loop's answer to Esc.
            if ((wParam & 0xFFFF) == static_cast<uintptr_t>(ui::kIdCancel) && ((wParam >> 16) & 0xFFFF) == 0) {
                handled = true;
                return OnClickedCancel();
            }
            return 0;
        case ui::kMsgDestroy:
            OnDestroy();
            return 0;
        default:
            return 0;
        }
    });
}

void CWizardDialog::OnStatusBarMouse(WindowHandle, uint32_t message, uintptr_t keys, intptr_t position) {
    CallAtBoundary("CWizardDialog::ProcessWindowMessage()", 0, [&] {
        if (message == ui::kMsgLButtonDoubleClick) OnStatusBarDoubleClick(keys, position);
        if (message == ui::kMsgLButtonDown) OnStatusBarButtonDown(keys, position);
        return 0;
    });
}

intptr_t CWizardDialog::OnInitDialog() {
    m_wndBrowserHost = ui::GetDialogItem(m_hWnd, ui::kBrowserControlId);
    const Status browserStatus = platform::browser::CreateBrowser(m_hWnd, ui::kBrowserControlId, *this, &m_WebBrowser);
    if (m_WebBrowser == nullptr) {
        ZUN_TRACE("ZUN_E: CWizardDialog::OnInitDialog(): GetDlgControl(): Error %u", browserStatus);
    } else {
        wizard_keyboard::SetInPlaceObject(m_WebBrowser.get());
    }

    TheWizardWindowRegistry().WizardOpened(m_hWnd, IsWaitMode(m_nWizardMode));

    wizard_keyboard::InstallKeyboardHook();

    const GatewayRecord* record = m_pGatewayRecord;
    const int32_t width = record != nullptr ? record->wizardWidth : 0;
    const int32_t height = record != nullptr ? record->wizardHeight : 0;
    ResizeWizard(width, height, false, false, true);

    if (!m_CertificateManager.IsHookedUp() && m_pCertificateBlob != nullptr) {
        m_CertificateManager.HookupCertificate(m_pCertificateBlob);
    }

    if (const Status status = ui::SetSmallIcon(m_hWnd, ui::kRocketIcon); status != 0) {
        ZUN_TRACE("ZUN_E: CWizardDialog::OnInitDialog(): Error %u on LoadImage()", status);
    }

    CreateStatusBar();
    SetRocketIcon();

    if (m_WebBrowser == nullptr) {
        // Without its browser the dialog has nothing to show: it ends.
        ui::EndDialog(m_hWnd, -1);
        return 1;
    }
    if (m_nWizardMode == WIZARDMODE_PURCHASE || m_nWizardMode == WIZARDMODE_PURCHASECFU) {
        Navigate();
    } else if (IsWaitMode(m_nWizardMode)) {
        ResizeWizard(width, height, true, true, true);
        char url[260];
        FormatText(url, sizeof url, "res://%s/wait.htm", CurrentEngineModuleInfo().modulePath);
        if (const Status status = m_WebBrowser->Navigate(url, nullptr, nullptr); status != 0) {
            ZUN_TRACE("ZUN_E: CWizardDialog::OnInitDialog(): Navigate2(): Error %u", status);
        }
        HideWizard(true);
    }
    return 1;
}

void CWizardDialog::Navigate() {
    // The certificate's store host, parsed; else the configured store server.
    StoreAddress address;
    const std::string url = (m_CertificateManager.GetStoreAddress(&address) == 0
                                 ? StoreOrigin(address)
                                 : std::string("https://") + StoreHost()) +
                            kPrefillPath;

    platform::PostDataArgument postData;
    if (const Status status = BuildPostDataVariant(&postData, m_szPostData); status != 0) {
        ZUN_TRACE("ZUN_E: CWizardDialog::OnInitDialog(): BuildPostDataVariant(): Error %u", status);
    }
    if (const Status status = m_WebBrowser->Navigate(url.c_str(), &postData, kFormHeaders); status != 0) {
        ZUN_TRACE("ZUN_E: CWizardDialog::OnInitDialog(): Navigate2(): Error %u", status);
    }
}

void CWizardDialog::ResizeWizard(int32_t width, int32_t height, bool resizeStatusBar, bool dialogStyle,
                                 bool center) {
    if (width <= 0 || height <= 0) return;
    ui::Rect area;
    if (ui::GetWorkArea(&area) != 0) area = kFallbackWorkArea;
    width = std::min(width, area.Width());
    height = std::min(height, area.Height());

    ui::Rect window;
    if (ui::GetWindowRect(m_hWnd, &window) != 0) return;
    const int32_t dx = width - window.Width();
    const int32_t dy = height - window.Height();
    ui::SetWindowSize(m_hWnd, width, height);

    ui::Rect browserArea;
    if (m_wndBrowserHost != nullptr && ui::GetClientRect(m_wndBrowserHost, &browserArea) == 0) {
        browserArea.right = std::min(browserArea.right + dx, area.right);
        browserArea.bottom = std::min(browserArea.bottom + dy, area.bottom);
        ui::SetWindowSize(m_wndBrowserHost, browserArea.Width(), browserArea.Height());
    }

    if (dialogStyle) {
        m_dwDocHostFlags |= kDocHostDialogStyle;
        if (m_WebBrowser != nullptr) m_WebBrowser->SetHostFlags(m_dwDocHostFlags);
    }
    m_dwDocHostFlags |= kDocHostTheme;
    if (m_WebBrowser != nullptr) m_WebBrowser->SetHostFlags(m_dwDocHostFlags);

    ui::Rect bar;
    if (resizeStatusBar && m_wndStatusBar != nullptr && ui::GetClientRect(m_wndStatusBar, &bar) == 0) {
        ui::SetWindowSize(m_wndStatusBar, bar.Width() + dx, bar.Height() + dy);
        SetStatusBarParts();
    }
    if (center) ui::CenterWindow(m_hWnd, nullptr);
}

int CWizardDialog::HideWizard(bool hide) {
    if (hide) {
        ui::GetWindowRect(m_hWnd, &m_rcSaved);
        ui::SetWindowBounds(m_hWnd, ui::Rect{-1000, -1000, -1000, -1000});
        ui::SetToolWindow(m_hWnd, true);
        return 1;
    }
    if (!ui::IsToolWindow(m_hWnd)) return 0;
    ui::SetWindowBounds(m_hWnd, m_rcSaved);
    ui::SetToolWindow(m_hWnd, false);
    const bool ownerShown = m_hOwner != nullptr && ui::IsWindowVisible(m_hOwner) && !ui::IsWindowMinimized(m_hOwner);
    ui::CenterWindow(m_hWnd, ownerShown ? m_hOwner : nullptr);
    return 1;
}

intptr_t CWizardDialog::OnClose() {
    ui::EndDialog(m_hWnd, -1);
    return 0;
}

intptr_t CWizardDialog::OnClickedCancel() {
    ui::EndDialog(m_hWnd, ui::kIdCancel);
    return 0;
}

void CWizardDialog::OnBrowserFailed(Status status) {
    CallAtBoundary("CWizardDialog::OnBrowserFailed()", 0, [&] {
        ZUN_TRACE("ZUN_E: CWizardDialog::OnBrowserFailed(): Error %u", status);
        ui::EndDialog(m_hWnd, -1);
        return 0;
    });
}

void CWizardDialog::OnDestroy() {
    // The page's connections and documents belong to the browser, and the
    // hook must not reach a browser that is gone.
    HtmlElementEventReceiver::FreeEventConnections();
    m_HTMLElementHandler = HtmlElement{};
    wizard_keyboard::ForgetInPlaceObject(m_WebBrowser.get());
    m_WebBrowser.reset();
    m_wndProgress = nullptr;
    m_wndStatusBar = nullptr;
    TheWizardWindowRegistry().WizardClosed(m_hWnd);
}

}  // namespace zun
