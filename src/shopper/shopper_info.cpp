#include "base/bounded_text.h"
#include "base/trace.h"
#include "state/cartstate.h"
#include "shopper/purchase_info.h"
#include "shopper/purchase_info_fields.h"

namespace zun {
namespace {

// A shopper value is read into 256 bytes and at most 255 characters of it
// are taken.
constexpr uint16_t kShopperValueSize = 256;

}  // namespace

void SaveShopperInfo(CartState& cs) {
    ZUN_TRACE("ZUN: Prolog WizardController::SaveShopperInfo()");
    PurchaseInfo& info = ThePurchaseInfo();
    for (const PurchaseInfoField& shopper : kPurchaseInfoFields) {
        char value[kShopperValueSize] = {};
        cs.GetValue(shopper.cartStateKey, value, sizeof value);  // a missing key leaves empty text
        info.*shopper.field = std::string(TextInBuffer(value, sizeof value - 1));
    }
    if (!info.firstName.empty() && !info.lastName.empty()) {
        SavePurchaseInfo();
    } else {
        ZUN_TRACE("ZUN: WizardController::SaveShopperInfo(): no billing name, nothing saved");
    }
    ZUN_TRACE("ZUN: Epilog WizardController::SaveShopperInfo()");
}

}  // namespace zun
