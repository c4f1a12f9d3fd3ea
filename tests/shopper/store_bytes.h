// Serialised NamedValueStores for tests: built from entries with a right
// checksum, and read back into entries.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "shopper/named_value_store.h"

namespace zun::testing {

using StoreBytes = std::vector<uint8_t>;
using StoreEntries = std::vector<std::pair<std::string, std::string>>;

inline void PutBigEndian(StoreBytes& bytes, uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) bytes.push_back(static_cast<uint8_t>(value >> shift));
}

inline StoreBytes WithChecksum(StoreBytes bytes) {
    const uint32_t sum = NamedValueStore::ByteSum(bytes.data() + 4, bytes.size() - 4);
    for (int i = 0; i < 4; ++i) bytes[i] = static_cast<uint8_t>(sum >> (8 * i));
    return bytes;
}

inline StoreBytes Serialised(const StoreEntries& entries) {
    StoreBytes bytes(4, 0);
    for (const auto& [name, value] : entries) {
        for (const std::string* text : {&name, &value}) {
            PutBigEndian(bytes, static_cast<uint32_t>(text->size()));
            bytes.insert(bytes.end(), text->begin(), text->end());
        }
    }
    return WithChecksum(bytes);
}

// The entries of a sound serialised store, in order.
inline StoreEntries Entries(const StoreBytes& bytes) {
    auto length = [&](size_t at) {
        return (uint32_t{bytes[at]} << 24) | (uint32_t{bytes[at + 1]} << 16) | (uint32_t{bytes[at + 2]} << 8) |
               bytes[at + 3];
    };
    StoreEntries entries;
    for (size_t at = 4; at + 8 <= bytes.size();) {
        const uint32_t n = length(at);
        const uint32_t v = length(at + 4 + n);
        entries.emplace_back(std::string(bytes.begin() + at + 4, bytes.begin() + at + 4 + n),
                             std::string(bytes.begin() + at + 8 + n, bytes.begin() + at + 8 + n + v));
        at += 8 + n + v;
    }
    return entries;
}

}  // namespace zun::testing
