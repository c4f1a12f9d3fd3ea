// Tests of the saved purchase information start from an empty store in the
// registry and in memory.
#pragma once

#include <gtest/gtest.h>

#include "registry_sandbox.h"
#include "shopper/purchase_info.h"

namespace zun::testing {

class ShopperTest : public ::testing::Test {
protected:
    void SetUp() override { PutSavedStore({0, 0, 0, 0}); }

    // Writes a serialised store as the registry value and loads it.
    static void PutSavedStore(const std::vector<uint8_t>& bytes) {
        PutValue(platform::RegistryRoot::CurrentUser, kPurchaseInfoKey, kPurchaseInfoValue, platform::kRegBinary,
                 bytes);
        LoadPurchaseInfo();
        ThePurchaseInfo().emailRetype.clear();
    }

    static std::vector<uint8_t> SavedStore() {
        return ValueBytes(platform::RegistryRoot::CurrentUser, kPurchaseInfoKey, kPurchaseInfoValue)
            .value_or(std::vector<uint8_t>{});
    }
};

}  // namespace zun::testing
