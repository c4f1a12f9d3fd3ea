// CEasterEggDialog: the small modal About box (template 243) behind the zone
// icon of the wizard's status bar. Kind 1 shows the affiliation page (the
// affiliate ID, tracking ID and affiliate web store address of the purchase),
// kind 2 the engine page (version and file location), kind 0 the bare box.
// OK and Enter close it; it has no close box, and Esc does nothing.
#pragma once

#include <cstdint>

#include "platform/ui.h"

namespace zun {

class CEasterEggDialog final : public platform::ui::DialogHandler {
public:
    using WindowHandle = platform::ui::WindowHandle;

    static constexpr int kAffiliationPage = 1;
    static constexpr int kEnginePage = 2;
    // Every shown line is cut to this many characters.
    static constexpr size_t kLineSize = 512;

    explicit CEasterEggDialog(int32_t kind) : m_nKind(kind) {}

    // Keeps the three texts (not owned; they must outlive the dialog), each
    // null replaced by the empty text.
    void SetAffiliateInfo(const char* affiliateID, const char* trackingID, const char* webstoreURL);
    // Runs the box modally with `owner`; returns its end code.
    intptr_t DoModal(WindowHandle owner);

    intptr_t OnInitDialog();
    intptr_t OnClose();
    intptr_t OnClickedOK();

private:
    intptr_t OnMessage(WindowHandle dialog, uint32_t message, uintptr_t wParam, intptr_t lParam,
                       bool& handled) override;
    void OnStatusBarMouse(WindowHandle, uint32_t, uintptr_t, intptr_t) override {}

    void ShowAffiliationPage();
    void ShowEnginePage();

    WindowHandle m_hWnd = nullptr;
    WindowHandle m_hOwner = nullptr;
    WindowHandle m_wndProgress = nullptr;
    WindowHandle m_wndLine2 = nullptr;
    const char* m_pszAffiliateID = "";
    const char* m_pszTrackingID = "";
    const char* m_pszWebstoreURL = "";
    int32_t m_nKind = 0;
};

}  // namespace zun
