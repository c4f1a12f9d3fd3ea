#include "base/bounded_text.h"
#include "base/trace.h"
#include "state/cartstate.h"
#include "shopper/purchase_info.h"

namespace zun {
namespace {

constexpr PurchaseInfoField kShopperKeys[] = {
    {"_Shopper.BillingFirstName", &PurchaseInfo::firstName},
    {"_Shopper.BillingLastName", &PurchaseInfo::lastName},
    {"_Shopper.BillingAddress1", &PurchaseInfo::billAddress1},
    {"_Shopper.BillingAddress2", &PurchaseInfo::billAddress2},
    {"_Shopper.BillingCity", &PurchaseInfo::billCity},
    {"_Shopper.BillingState", &PurchaseInfo::billState},
    {"_Shopper.BillingZip", &PurchaseInfo::billZip},
    {"_Shopper.BillingCountry", &PurchaseInfo::billCountry},
    {"_Shopper.BillingEmail", &PurchaseInfo::email},
    {"_Shopper.BillingPhone", &PurchaseInfo::phone},
    {"_Shopper.BillingCompany", &PurchaseInfo::company},
    {"_Shopper.ShippingFirstName", &PurchaseInfo::shipfirstName},
    {"_Shopper.ShippingLastName", &PurchaseInfo::shiplastName},
    {"_Shopper.ShippingAddress1", &PurchaseInfo::shipAddress1},
    {"_Shopper.ShippingAddress2", &PurchaseInfo::shipAddress2},
    {"_Shopper.ShippingCity", &PurchaseInfo::shipCity},
    {"_Shopper.ShippingState", &PurchaseInfo::shipState},
    {"_Shopper.ShippingZip", &PurchaseInfo::shipZip},
    {"_Shopper.ShippingCountry", &PurchaseInfo::shipCountry},
    {"_Shopper.ShippingCompany", &PurchaseInfo::shipCompany},
};

// A shopper value is read into 256 bytes and at most 255 characters of it
// are taken.
constexpr uint16_t kShopperValueSize = 256;

}  // namespace

void SaveShopperInfo(CartState& cs) {
    ZUN_TRACE("ZUN: Prolog WizardController::SaveShopperInfo()");
    PurchaseInfo& info = ThePurchaseInfo();
    for (const PurchaseInfoField& shopper : kShopperKeys) {
        char value[kShopperValueSize] = {};
        cs.GetValue(shopper.name, value, sizeof value);  // a missing key leaves empty text
        info.*shopper.field = std::string(TextInBuffer(value, sizeof value - 1));
    }
    info.emailRetype = info.email;
    if (!info.firstName.empty() && !info.lastName.empty()) {
        SavePurchaseInfo();
    } else {
        ZUN_TRACE("ZUN: WizardController::SaveShopperInfo(): no billing name, nothing saved");
    }
    ZUN_TRACE("ZUN: Epilog WizardController::SaveShopperInfo()");
}

}  // namespace zun
