// The engine's modal wizard runs: the purchase wizard for the entry function,
// the wait wizard for the handshake and the About box for the wizard's status
// bar, with the mode of the wizard it runs. Which windows are open is kept by
// WizardWindowRegistry.
#pragma once

#include <atomic>
#include <cstdint>

#include "base/status.h"
#include "dom/wait_page_wizard.h"
#include "zunserver/zunserver.h"

namespace zun {

class WizardController final : public WaitPageWizard {
public:
    WizardController() = default;
    WizardController(const WizardController&) = delete;
    WizardController& operator=(const WizardController&) = delete;

    // The starting mode of the wizard it runs or ran last; the dialog's own
    // mode changes on the wait page, this one does not.
    int32_t GetWizardMode() const { return _wizardMode.load(); }
    void SetWizardMode(int32_t mode) { _wizardMode.store(mode); }

    bool ShowsWaitPage() const override;
    // Sends the running wizard window a progress notice at 1 %, which shows at
    // once that the click was taken, and then the button's answer.
    void AnswerWaitPage(bool retry) override;

    // True while a wizard window of this engine is open: a call made from its
    // modal loop runs nested in the call that opened it.
    bool IsWizardRunning();

    // The purchase wizard on the calling thread: opens the store with the
    // pre-fill POST built from `record`, and when the shopper closes the
    // window hands the last valid CartState back in record->cartStateOut
    // (the old block there is freed whatever the outcome) and saves the
    // shopper's data. `certificateBlob` (may be null) stays the caller's.
    // Returns 0.
    Status RunPurchaseWizard(GatewayRecord* record, bool plainPurchase, const char* certificateBlob);
    // The wait wizard on the calling thread, hidden until a notice or the
    // connection timer shows it, until the handshake's worker closes it.
    // Does nothing while a wizard window exists. Returns 0.
    Status RunWaitWizard();
    // The About box: kind 1 the affiliation page (nothing shown when
    // publisherID is null), 2 the engine page, 0 the bare box; any other
    // kind is ZUN_E_INVALID_ARG.
    Status RunEasterEgg(int32_t kind, const char* publisherID, const char* skuRefNum, const char* affiliateID,
                        const char* trackingID);

private:
    std::atomic<int32_t> _wizardMode{0};
};

WizardController& TheWizardController();

}  // namespace zun
