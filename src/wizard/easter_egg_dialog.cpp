#include "wizard/easter_egg_dialog.h"

#include "base/boundary.h"
#include "base/bounded_text.h"
#include "base/trace.h"
#include "shopper/affiliate_registry.h"
#include "wizard/engine_module_text.h"
#include "wizard/wizard_controller.h"
#include "wizard/wizard_window_registry.h"

namespace zun {

namespace ui = platform::ui;

namespace {

constexpr int kLine1 = 203;
constexpr int kLine2 = 209;
constexpr int kValue = 211;
constexpr int kLabel = 210;
constexpr int kProgress = 206;

constexpr char kMakerNotice[] = "The Orvella store engine, made by Orvella.";

}  // namespace

void CEasterEggDialog::SetAffiliateInfo(const char* affiliateID, const char* trackingID, const char* webstoreURL) {
    m_pszAffiliateID = TextOrEmpty(affiliateID);
    m_pszTrackingID = TextOrEmpty(trackingID);
    m_pszWebstoreURL = TextOrEmpty(webstoreURL);
}

intptr_t CEasterEggDialog::DoModal(WindowHandle owner) {
    m_hOwner = owner;
    intptr_t code = -1;
    if (const Status status = ui::RunModalDialog(ui::kEasterEggDialogTemplate, owner, *this, 0, &code);
        status != 0) {
        ZUN_TRACE("ZUN_E: CEasterEggDialog::DoModal(): DialogBoxParam(): Error %u", status);
    }
    // However the box ended, it is no longer the running one.
    if (m_hWnd != nullptr) TheWizardWindowRegistry().AboutClosed(m_hWnd);
    return code;
}

intptr_t CEasterEggDialog::OnMessage(WindowHandle dialog, uint32_t message, uintptr_t wParam, intptr_t,
                                     bool& handled) {
    return CallAtBoundary("CEasterEggDialog::ProcessWindowMessage()", intptr_t{0}, [&]() -> intptr_t {
        switch (message) {
        case ui::kMsgInitDialog:
            m_hWnd = dialog;
            return OnInitDialog();
        case ui::kMsgClose:
            handled = true;
            return OnClose();
        case ui::kMsgCommand:
            if ((wParam & 0xFFFF) == static_cast<uintptr_t>(ui::kIdOk)) {
                handled = true;
                return OnClickedOK();
            }
            // Esc (IDCANCEL) is taken and does nothing: the box has no way
            // out but OK.
            handled = (wParam & 0xFFFF) == static_cast<uintptr_t>(ui::kIdCancel);
            return 0;
        default:
            return 0;
        }
    });
}

intptr_t CEasterEggDialog::OnInitDialog() {
    ZUN_TRACE("ZUN: Prolog CEasterEggDialog::OnInitDialog()");
    TheWizardWindowRegistry().AboutOpened(m_hWnd);
    ui::CenterWindow(m_hWnd, m_hOwner);
    m_wndLine2 = ui::GetDialogItem(m_hWnd, kLine2);
    m_wndProgress = ui::GetDialogItem(m_hWnd, kProgress);
    if (m_nKind == kAffiliationPage) ShowAffiliationPage();
    if (m_nKind == kEnginePage) ShowEnginePage();
    // The system does not set the focus.
    return 0;
}

void CEasterEggDialog::ShowAffiliationPage() {
    char line[kLineSize] = {};
    ui::SetCaption(m_hWnd, "About Orvella Affiliation");
    FormatText(line, sizeof line, "affiliateID: %s", m_pszAffiliateID);
    ui::ShowControl(m_hWnd, kProgress, false);
    ui::SetControlText(m_hWnd, ui::kIdOk, "OK");
    ui::SetControlText(m_hWnd, kLine1, line);
    FormatText(line, sizeof line, "trackingID: %s", m_pszTrackingID);
    ui::SetControlText(m_hWnd, kLine2, line);
    ui::SetControlText(m_hWnd, kLabel, "webstoreURL: ");
    if (m_pszWebstoreURL[0] != '\0') {
        CopyText(line, m_pszWebstoreURL);
        ui::SetControlText(m_hWnd, kValue, line);
    } else {
        ui::ShowControl(m_hWnd, kValue, false);
    }
}

void CEasterEggDialog::ShowEnginePage() {
    char line[kLineSize] = {};
    const EngineModuleInfo& module = CurrentEngineModuleInfo();
    ui::SetCaption(m_hWnd, "About Orvella Engine");
    FormatText(line, sizeof line, "DEBUG Brevik.dll, Version %s", module.versionText);
    ui::SetControlText(m_hWnd, ui::kIdOk, "OK");
    ui::ShowControl(m_hWnd, kProgress, false);
    ui::SetControlText(m_hWnd, kLine1, line);
    ui::SetControlText(m_hWnd, kLine2, kMakerNotice);
    ui::SetControlText(m_hWnd, kLabel, "File Location:");
    CopyText(line, module.modulePath);
    ui::SetControlText(m_hWnd, kValue, line);
}

intptr_t CEasterEggDialog::OnClose() {
    ui::EndDialog(m_hWnd, -1);
    return 0;
}

intptr_t CEasterEggDialog::OnClickedOK() {
    ui::EndDialog(m_hWnd, ui::kIdOk);
    return 0;
}

Status WizardController::RunEasterEgg(int32_t kind, const char* publisherID, const char* skuRefNum,
                                      const char* affiliateID, const char* trackingID) {
    if (kind == CEasterEggDialog::kAffiliationPage) {
        // The publisher ID points at the engine's own buffer during a
        // purchase; null is the one case it cannot be read.
        if (publisherID == nullptr) return 0;
        char webstoreURL[1024] = {};
        const char* sku = TextOrEmpty(skuRefNum);
        if (!GetAffiliateWebStoreURL(publisherID, sku, webstoreURL, sizeof webstoreURL)) webstoreURL[0] = '\0';
        CEasterEggDialog dialog(kind);
        dialog.SetAffiliateInfo(affiliateID, trackingID, webstoreURL);
        dialog.DoModal(ui::GetActiveWindow());
        return 0;
    }
    if (kind == 0 || kind == CEasterEggDialog::kEnginePage) {
        CEasterEggDialog dialog(kind);
        dialog.DoModal(ui::GetActiveWindow());
        return 0;
    }
    return ZUN_E_INVALID_ARG;
}

}  // namespace zun
