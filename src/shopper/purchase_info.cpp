#include "shopper/purchase_info.h"

#include <vector>

#include "base/trace.h"
#include "platform/registry.h"
#include "shopper/purchase_info_fields.h"
#include "shopper/registry_data.h"

namespace zun {
namespace {

// Names that older data may hold and a save drops.
constexpr const char* kRemovedNames[] = {
    "pubID",    "SAID",        "Certificate", "special",  "shippingID", "QUOTEID",
    "skuList",  "contactMe",   "sendMe",      "cCardNumber", "cCardMonth", "cCardYear",
    "cCardCVV", "Coupon",      "SKUIDCAmtList", "WebStoreURL", "EMAIL",
};

}  // namespace

PurchaseInfo& ThePurchaseInfo() {
    static PurchaseInfo info;
    return info;
}

NamedValueStore& ThePurchaseInfoStore() {
    static NamedValueStore store;
    return store;
}

void LoadPurchaseInfo() {
    ZUN_TRACE("ZUN: Prolog LoadPurchaseInfo()");
    const std::vector<uint8_t> data =
        ReadRegistryData(platform::RegistryRoot::CurrentUser, kPurchaseInfoKey, kPurchaseInfoValue);
    if (data.empty()) {
        ZUN_TRACE("ZUN: Epilog LoadPurchaseInfo()");
        return;
    }
    NamedValueStore& store = ThePurchaseInfoStore();
    if (const Status status = store.Load(data.data(), data.size()); status != 0) {
        // The store keeps what it held: the fields come from that.
        ZUN_TRACE("ZUN_E: LoadPurchaseInfo(): NamedValueStore::Load(): Failure %u", status);
    }
    PurchaseInfo& info = ThePurchaseInfo();
    for (const PurchaseInfoField& saved : kPurchaseInfoFields) {
        if (saved.savedName != nullptr) info.*saved.field = store.Get(saved.savedName);
    }
    ZUN_TRACE("ZUN: Epilog LoadPurchaseInfo()");
}

void SavePurchaseInfo() {
    ZUN_TRACE("ZUN: Prolog SavePurchaseInfo()");
    NamedValueStore& store = ThePurchaseInfoStore();
    for (const char* name : kRemovedNames) store.Remove(name);
    PurchaseInfo& info = ThePurchaseInfo();
    for (uint8_t order = 0; order < kSavedFieldCount; ++order) {
        for (const PurchaseInfoField& saved : kPurchaseInfoFields) {
            if (saved.saveOrder != order) continue;
            if (const Status status = store.Set(saved.savedName, info.*saved.field); status != 0) {
                ZUN_TRACE("ZUN_E: SavePurchaseInfo(): NamedValueStore::Set(%s): Failure %u", saved.savedName, status);
            }
        }
    }
    store.StoreChecksum();

    platform::RegistryKeyOwner key;
    Status status = platform::RegistryCreateKey(platform::RegistryRoot::CurrentUser, kPurchaseInfoKey, key.Out());
    if (status == 0) {
        status = platform::RegistrySetValue(key.Get(), kPurchaseInfoValue, platform::kRegBinary, store.Data(),
                                            store.Size());
    }
    if (status != 0) ZUN_TRACE("ZUN_E: SavePurchaseInfo(): RegSetValueEx(): Failure %u", status);
    ZUN_TRACE("ZUN: Epilog SavePurchaseInfo()");
}

}  // namespace zun
