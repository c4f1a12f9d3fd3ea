// A store page's CartState as the store sends it: 40 keys, about 2.5 KB.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "blob_text.h"

namespace zun::bench {

inline testing::Bytes StorePageBlob() {
    std::vector<std::pair<std::string, std::string>> entries = {
        {"PAGENAME", "CHECKOUT"}, {"_Order.Status", "2"}, {"_Order.Currency", "USD"},
        {"_Order.Total", "49.95"}, {"_cartitem0.skurefnum", "ORV-PRO-2026-STD-0001"},
        {"_cartitem0.activationid", "7f3a9c2e-41d8-4b6a-9e0f-5c1d2b3a4e5f"},
    };
    const char* fields[] = {"FirstName", "LastName", "Address1", "Address2", "City", "State", "Zip",
                            "Country", "Email", "Phone", "Company"};
    for (const char* prefix : {"_Shopper.Billing", "_Shopper.Shipping"}) {
        for (const char* field : fields) {
            entries.emplace_back(std::string(prefix) + field, std::string(field) + " value for the shopper " + prefix);
        }
    }
    while (entries.size() < 40) {
        entries.emplace_back("_Session.Attribute" + std::to_string(entries.size()),
                             "session state value number " + std::to_string(entries.size()));
    }
    return testing::MakeBlob(entries);
}

}  // namespace zun::bench
