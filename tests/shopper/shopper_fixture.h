// Serialised name/value stores built and read back byte by byte, and a
// fixture for the saved purchase information that starts every test from an
// empty store in the registry and in memory.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "registry_sandbox.h"
#include "shopper/named_value_store.h"
#include "shopper/purchase_info.h"

namespace zun::testing {

using StoreBytes = std::vector<uint8_t>;
using StoreEntries = std::vector<std::pair<std::string, std::string>>;

inline StoreBytes WithChecksum(StoreBytes bytes) {
    const uint32_t sum = NamedValueStore::ByteSum(bytes.data() + 4, bytes.size() - 4);
    for (int i = 0; i < 4; ++i) bytes[i] = static_cast<uint8_t>(sum >> (8 * i));
    return bytes;
}

// Entries as given, duplicates included, with a right checksum.
inline StoreBytes Serialised(const StoreEntries& entries) {
    StoreBytes bytes(4, 0);
    for (const auto& [name, value] : entries) {
        for (const std::string* text : {&name, &value}) {
            for (int shift = 24; shift >= 0; shift -= 8) bytes.push_back(static_cast<uint8_t>(text->size() >> shift));
            bytes.insert(bytes.end(), text->begin(), text->end());
        }
    }
    return WithChecksum(bytes);
}

// The entries of a sound serialised store, in order.
inline StoreEntries Entries(const StoreBytes& bytes) {
    const auto length = [&](size_t at) {
        return (uint32_t{bytes[at]} << 24) | (uint32_t{bytes[at + 1]} << 16) | (uint32_t{bytes[at + 2]} << 8) |
               bytes[at + 3];
    };
    StoreEntries entries;
    for (size_t at = 4; at + 8 <= bytes.size();) {
        const uint32_t n = length(at), v = length(at + 4 + n);
        entries.emplace_back(std::string(bytes.begin() + at + 4, bytes.begin() + at + 4 + n),
                             std::string(bytes.begin() + at + 8 + n, bytes.begin() + at + 8 + n + v));
        at += 8 + n + v;
    }
    return entries;
}

class ShopperTest : public ::testing::Test {
protected:
    void SetUp() override { PutSavedStore({0, 0, 0, 0}); }

    // Writes a serialised store as the registry value and loads it.
    static void PutSavedStore(const StoreBytes& bytes) {
        PutValue(platform::RegistryRoot::CurrentUser, kPurchaseInfoKey, kPurchaseInfoValue, platform::kRegBinary,
                 bytes);
        LoadPurchaseInfo();
        ThePurchaseInfo().emailRetype.clear();
    }

    static StoreBytes SavedStore() {
        return ValueBytes(platform::RegistryRoot::CurrentUser, kPurchaseInfoKey, kPurchaseInfoValue)
            .value_or(StoreBytes{});
    }
};

}  // namespace zun::testing
