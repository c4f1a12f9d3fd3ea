// The shopper's saved purchase information: name, e-mail, telephone and
// billing and shipping addresses of the last completed purchase. It lives in
// the current user's registry as one serialised NamedValueStore and in memory
// in the engine-wide PurchaseInfo, which pre-fills the next purchase.
#pragma once

#include <string>

#include "shopper/named_value_store.h"

namespace zun {

class CartState;

struct PurchaseInfo {
    std::string firstName;
    std::string lastName;
    std::string company;
    std::string email;
    std::string emailRetype;  // memory only: the e-mail of a purchase made while the module stayed loaded
    std::string phone;
    std::string billAddress1;
    std::string billAddress2;
    std::string billCity;
    std::string billState;
    std::string billZip;
    std::string billCountry;
    std::string shipfirstName;
    std::string shiplastName;
    std::string shipCompany;
    std::string shipAddress1;
    std::string shipAddress2;
    std::string shipCity;
    std::string shipState;
    std::string shipZip;
    std::string shipCountry;
};

inline constexpr char kPurchaseInfoKey[] = "Software\\Orvella\\Common\\PurchaseInfo";
inline constexpr char kPurchaseInfoValue[] = "Information";

// The engine-wide objects, alive for the module's life.
PurchaseInfo& ThePurchaseInfo();
NamedValueStore& ThePurchaseInfoStore();

// Reads the registry value into the store (when it is there and sound) and
// fills every field but emailRetype from the store.
void LoadPurchaseInfo();
// Drops the names older versions kept, sets the 20 saved names from the
// fields and writes the store. Failures are not reported.
void SavePurchaseInfo();
// Takes the shopper's fields from a purchase's final CartState and saves them
// when both billing names are there.
void SaveShopperInfo(CartState& cs);

}  // namespace zun
