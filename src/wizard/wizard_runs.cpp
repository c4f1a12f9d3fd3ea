// The controller's two modal wizard runs: the purchase wizard for the entry
// function and the wait wizard for the handshake.
#include "base/engine_heap.h"
#include "base/trace.h"
#include "shopper/purchase_info.h"
#include "shopper/purchase_post_data.h"
#include "wizard/wizard_controller.h"
#include "wizard/wizard_dialog.h"
#include "wizard/wizard_mode.h"

namespace zun {

namespace ui = platform::ui;

namespace {

// The wait window's size in pixels.
constexpr int32_t kWaitWidth = 500;
constexpr int32_t kWaitHeight = 200;

}  // namespace

Status WizardController::RunPurchaseWizard(GatewayRecord* record, bool plainPurchase, const char* certificateBlob) {
    ZUN_TRACE("ZUN: Prolog WizardController:RunPurchaseWizard()");
    if (record == nullptr) {
        ZUN_TRACE("ZUN_E: WizardController::RunPurchaseWizard(): record is NULL");
        return 0;
    }
    CWizardDialog dialog;
    const int32_t mode = plainPurchase ? WIZARDMODE_PURCHASE : WIZARDMODE_PURCHASECFU;
    SetWizardMode(mode);
    dialog.m_nWizardMode = mode;
    dialog.m_pGatewayRecord = record;
    dialog.m_pCertificateBlob = certificateBlob;
    CreatePurchasePostData(*record, dialog.m_szPostData, !plainPurchase);

    ZUN_TRACE("ZUN: WizardController::RunPurchaseWizard(): Running DoModal()");
    dialog.DoModal(ui::GetActiveWindow());
    ZUN_TRACE("ZUN: WizardController::RunPurchaseWizard(): DoModal() Returned.");

    if (record->cartStateOut != nullptr) {
        heap::Release(record->cartStateOut);
        record->cartStateOut = nullptr;
    }
    CartState* cs = dialog.GetCartState();
    if (cs != nullptr) {
        ZUN_TRACE("ZUN: WizardController::RunPurchaseWizard(): CartState not NULL.");
        if (cs->IsValid()) {
            uint8_t* copy = nullptr;
            if (cs->CopyCartState(&copy) == 0) record->cartStateOut = copy;
            SaveShopperInfo(*cs);
            ZUN_TRACE("ZUN: WizardController::RunPurchaseWizard(): CartState is Valid.");
        }
    }
    return 0;
}

Status WizardController::RunWaitWizard() {
    ZUN_TRACE("ZUN: Prolog WizardController::RunWaitWizard()");
    if (IsWizardRunning()) {
        ZUN_TRACE("ZUN: Epilog WizardController::RunWaitWizard()");
        return 0;
    }
    ZUN_TRACE("ZUN: WizardController::RunWaitWizard(): GetRunningWizardHWND() returns NULL. No wizard yet.");
    SetWizardMode(WIZARDMODE_WAIT);
    {
        GatewayRecord waitRecord{};
        waitRecord.wizardWidth = kWaitWidth;
        waitRecord.wizardHeight = kWaitHeight;
        CWizardDialog dialog;
        dialog.m_nWizardMode = WIZARDMODE_WAIT;
        dialog.m_pGatewayRecord = &waitRecord;
        ZUN_TRACE("ZUN: WizardController::RunWaitWizard(): Preparing to call DoModal()");
        dialog.DoModal(ui::GetActiveWindow());
    }
    ZUN_TRACE("ZUN: Epilog WizardController::RunWaitWizard()");
    return 0;
}

}  // namespace zun
