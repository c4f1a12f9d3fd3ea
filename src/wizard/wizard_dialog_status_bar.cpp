// The wizard's status bar: the zone pane, the security lock with its tooltip
// and the store's certificate, the About box behind the zone icon, and the
// progress bar of browser downloads and of the engine download.
#include <chrono>
#include <thread>

#include "base/boundary.h"
#include "base/trace.h"
#include "wizard/wizard_controller.h"
#include "wizard/wizard_dialog.h"

namespace zun {

namespace ui = platform::ui;

namespace {

// Right edges of panes 0 to 3, measured back from the client area's right.
constexpr int32_t kPaneOffsets[] = {182, 156, 130, 104};
// The icons sit at the left of their panes.
constexpr int32_t kLockIconWidth = 16;
constexpr int32_t kZoneIconWidth = 20;
// The progress bar lies over the right end of pane 0.
constexpr int32_t kProgressOffset = 285;
constexpr int32_t kProgressWidth = 96;
// Long enough for the full bar to be seen before it goes.
constexpr auto kFullBarShown = std::chrono::milliseconds(150);

constexpr int kAffiliationPage = 1;
constexpr int kEnginePage = 2;

int32_t LowWord(intptr_t value) { return static_cast<int16_t>(static_cast<uintptr_t>(value) & 0xFFFF); }
int32_t HighWord(intptr_t value) { return static_cast<int16_t>((static_cast<uintptr_t>(value) >> 16) & 0xFFFF); }

}  // namespace

void CWizardDialog::CreateStatusBar() {
    if (const Status status = ui::CreateStatusBar(m_hWnd, &m_wndStatusBar); status != 0) {
        m_wndStatusBar = nullptr;
        ZUN_TRACE("ZUN_E: CWizardDialog::OnInitDialog(): Error %u on CreateWindowEx()", status);
        return;
    }
    SetStatusBarParts();
}

void CWizardDialog::SetStatusBarParts() {
    if (m_wndStatusBar == nullptr) return;
    ui::Rect client;
    if (ui::GetClientRect(m_hWnd, &client) != 0) return;
    int32_t edges[kStatusBarPartCount];
    for (int i = 0; i < kStatusBarPartCount - 1; ++i) edges[i] = client.right - kPaneOffsets[i];
    edges[kStatusBarPartCount - 1] = -1;
    ui::SetStatusBarParts(m_wndStatusBar, edges, kStatusBarPartCount);
}

Status CWizardDialog::SetRocketIcon() {
    ZUN_TRACE("ZUN: Prolog CWizardDialog::SetRocketIcon()");
    if (m_wndStatusBar == nullptr) return 0;
    if (const Status status = ui::SetStatusBarIcon(m_wndStatusBar, kZonePane, ui::kZoneIcon); status != 0) {
        ZUN_TRACE("ZUN_E: CWizardDialog::SetRocketIcon(): LoadImage(): Error %u", status);
        return status;
    }
    ui::SetStatusBarText(m_wndStatusBar, kZonePane, "Internet");
    return 0;
}

void CWizardDialog::OnSetSecureLockIcon(int32_t secureLockIcon) {
    CallAtBoundary("CWizardDialog::OnSetSecureLockIcon()", 0, [&] {
        ZUN_TRACE("ZUN: Prolog CWizardDialog::OnSetSecureLockIcon(%d)", secureLockIcon);
        if (m_wndStatusBar == nullptr) return 0;
        switch (secureLockIcon) {
        case platform::browser::kLockSecure40Bit:
            OnSetSecureLockIcon(true, "SSL Secured (40 bit)", ui::kLockIcon);
            break;
        case platform::browser::kLockSecure56Bit:
            OnSetSecureLockIcon(true, "SSL Secured (56 bit)", ui::kLockIcon);
            break;
        case platform::browser::kLockSecure128Bit:
            OnSetSecureLockIcon(true, "SSL Secured (128 bit)", ui::kLockIcon);
            break;
        default:
            OnSetSecureLockIcon(false, nullptr, 0);
            break;
        }
        ZUN_TRACE("ZUN: Epilog CWizardDialog::OnSetSecureLockIcon()");
        return 0;
    });
}

void CWizardDialog::OnSetSecureLockIcon(bool secure, const char* tooltip, int iconId) {
    if (!secure) {
        ZUN_TRACE("ZUN: CWizardDialog::OnSetSecureLockIcon(): Going NonHTTPS");
        ui::SetStatusBarIcon(m_wndStatusBar, kLockPane, 0);
        return;
    }
    ZUN_TRACE("ZUN: CWizardDialog::OnSetSecureLockIcon(): Going HTTPS");
    if (const Status status = ui::SetStatusBarIcon(m_wndStatusBar, kLockPane, iconId); status != 0) {
        // The lock pane stays as it was for this event.
        ZUN_TRACE("ZUN_E: CWizardDialog::OnSetSecureLockIcon(): LoadImage(): Error %u", status);
        return;
    }
    ui::SetStatusBarTipText(m_wndStatusBar, kLockPane, tooltip);
}

intptr_t CWizardDialog::OnStatusBarDoubleClick(uintptr_t, intptr_t position) {
    if (m_wndStatusBar == nullptr) return 0;
    ui::Rect pane;
    if (ui::GetStatusBarPartRect(m_wndStatusBar, kLockPane, &pane) != 0) return 0;
    const int32_t x = LowWord(position);
    const int32_t y = HighWord(position);
    const bool onIcon = y > pane.top && x > pane.left && x <= pane.left + kLockIconWidth;
    if (!onIcon || ui::GetStatusBarIcon(m_wndStatusBar, kLockPane) == 0 || !m_CertificateManager.IsHookedUp()) {
        return 0;
    }
    if (const Status status = m_CertificateManager.DisplayCertificate(m_hWnd); status != 0) {
        ZUN_TRACE("ZUN_E: CWizardDialog::OnStatusBarDoubleClick(): Error: %u", status);
    }
    return 0;
}

intptr_t CWizardDialog::OnStatusBarButtonDown(uintptr_t keys, intptr_t position) {
    const uintptr_t needed = ui::kMouseLeftButton | ui::kMouseControl;
    if ((keys & needed) != needed || m_wndStatusBar == nullptr) return 0;
    ui::Rect pane;
    if (ui::GetStatusBarPartRect(m_wndStatusBar, kZonePane, &pane) != 0) return 0;
    const int32_t x = LowWord(position);
    const int32_t y = HighWord(position);
    if (!(y > pane.top && x > pane.left && x < pane.left + kZoneIconWidth)) return 0;

    WizardController& controller = TheWizardController();
    const GatewayRecord* record = m_pGatewayRecord;
    if ((keys & ui::kMouseShift) != 0 && record != nullptr) {
        controller.RunEasterEgg(kAffiliationPage, record->publisherID, record->skuRefNum, record->affiliateID,
                                record->trackingID);
    } else if ((keys & ui::kMouseShift) == 0) {
        controller.RunEasterEgg(kEnginePage, nullptr, nullptr, nullptr, nullptr);
    }
    return 0;
}

void CWizardDialog::OnDownloadBegin() {
    CallAtBoundary("CWizardDialog::OnDownloadBegin()", 0, [&] {
        if (m_wndStatusBar == nullptr || m_wndProgress != nullptr) return 0;
        ui::Rect client;
        if (ui::GetClientRect(m_hWnd, &client) != 0) return 0;
        const int32_t arrow = ui::GetVerticalScrollArrowHeight();
        const int32_t left = client.right - kProgressOffset;
        const int32_t top = client.bottom - arrow;
        const ui::Rect rect{left, top, left + kProgressWidth, top + arrow - 2};
        if (const Status status = ui::CreateProgressBar(m_hWnd, rect, &m_wndProgress); status != 0) {
            m_wndProgress = nullptr;
            ZUN_TRACE("ZUN_E: CWizardDialog::OnDownloadBegin(): CreateWindowEx(): Error %u", status);
        }
        return 0;
    });
}

void CWizardDialog::OnDownloadComplete() {
    CallAtBoundary("CWizardDialog::OnDownloadComplete()", 0, [&] {
        if (m_wndProgress == nullptr) return 0;
        ui::SetProgressPosition(m_wndProgress, 100);
        std::this_thread::sleep_for(kFullBarShown);
        ui::DestroyWindow(m_wndProgress);
        m_wndProgress = nullptr;
        return 0;
    });
}

void CWizardDialog::OnProgressChange(int32_t progress, int32_t progressMax) {
    CallAtBoundary("CWizardDialog::OnProgressChange()", 0, [&] {
        ZUN_TRACE("ZUN: Prolog CWizardDialog::OnProgressChange(%u,%u)", static_cast<unsigned>(progress),
                  static_cast<unsigned>(progressMax));
        if (progressMax <= 0 || m_wndProgress == nullptr) return 0;
        // A negative count reads as nothing done yet.
        const double share = progress > progressMax ? 100.0 : progress * 1.0 * 100.0 / progressMax;
        const uint32_t percent = share > 0.0 ? static_cast<uint32_t>(share) : 0u;
        ZUN_TRACE("ZUN: CWizardDialog::OnProgressChange(): Percentage is at %u", percent);
        ui::SetProgressPosition(m_wndProgress, percent == 0 ? 1 : static_cast<int32_t>(percent));
        return 0;
    });
}

}  // namespace zun
