// Every PurchaseInfo field with the names it goes by: the registry name it is
// saved under, the CartState key of a finished purchase that fills it, and the
// POST key that pre-fills the next purchase with it.
#pragma once

#include <cstdint>
#include <string>

#include "shopper/purchase_info.h"

namespace zun {

struct PurchaseInfoField {
    std::string PurchaseInfo::*field;
    const char* savedName;  // null: kept in memory only
    // Place of the name in a first save; the registry data keeps that order.
    uint8_t saveOrder;
    const char* cartStateKey;
    const char* postKey;
};

inline constexpr uint8_t kSavedFieldCount = 20;
inline constexpr uint8_t kNotSaved = 0xFF;

// In the order of the POST body. "_shopper.billingemail" comes before the
// retyped e-mail, whose key contains it: the body takes a key only once.
inline constexpr PurchaseInfoField kPurchaseInfoFields[] = {
    {&PurchaseInfo::firstName, "firstName", 0, "_Shopper.BillingFirstName", "_shopper.billingfirstname"},
    {&PurchaseInfo::lastName, "lastName", 1, "_Shopper.BillingLastName", "_shopper.billinglastname"},
    {&PurchaseInfo::billAddress1, "billAddress1", 5, "_Shopper.BillingAddress1", "_shopper.billingaddress1"},
    {&PurchaseInfo::billAddress2, "billAddress2", 6, "_Shopper.BillingAddress2", "_shopper.billingaddress2"},
    {&PurchaseInfo::billCity, "billCity", 7, "_Shopper.BillingCity", "_shopper.billingcity"},
    {&PurchaseInfo::billState, "billState", 8, "_Shopper.BillingState", "_shopper.billingstate"},
    {&PurchaseInfo::billZip, "billZip", 9, "_Shopper.BillingZip", "_shopper.billingzip"},
    {&PurchaseInfo::billCountry, "billCountry", 10, "_Shopper.BillingCountry", "_shopper.billingcountry"},
    {&PurchaseInfo::email, "email", 3, "_Shopper.BillingEmail", "_shopper.billingemail"},
    {&PurchaseInfo::emailRetype, nullptr, kNotSaved, "_Shopper.BillingEmail", "_shopper.billingemailretype"},
    {&PurchaseInfo::phone, "phone", 4, "_Shopper.BillingPhone", "_shopper.billingphone"},
    {&PurchaseInfo::company, "company", 2, "_Shopper.BillingCompany", "_shopper.billingcompany"},
    {&PurchaseInfo::shipfirstName, "shipfirstName", 11, "_Shopper.ShippingFirstName", "_shopper.shippingfirstname"},
    {&PurchaseInfo::shiplastName, "shiplastName", 12, "_Shopper.ShippingLastName", "_shopper.shippinglastname"},
    {&PurchaseInfo::shipAddress1, "shipAddress1", 14, "_Shopper.ShippingAddress1", "_shopper.shippingaddress1"},
    {&PurchaseInfo::shipAddress2, "shipAddress2", 15, "_Shopper.ShippingAddress2", "_shopper.shippingaddress2"},
    {&PurchaseInfo::shipCity, "shipCity", 16, "_Shopper.ShippingCity", "_shopper.shippingcity"},
    {&PurchaseInfo::shipState, "shipState", 17, "_Shopper.ShippingState", "_shopper.shippingstate"},
    {&PurchaseInfo::shipZip, "shipZip", 18, "_Shopper.ShippingZip", "_shopper.shippingzip"},
    {&PurchaseInfo::shipCountry, "shipCountry", 19, "_Shopper.ShippingCountry", "_shopper.shippingcountry"},
    {&PurchaseInfo::shipCompany, "shipCompany", 13, "_Shopper.ShippingCompany", "_shopper.shippingcompany"},
};

}  // namespace zun
