// Builds CartState blobs for tests: binary form with a correct checksum, and
// the base64 text form.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "state/base64.h"

namespace zun::testing {

using Bytes = std::vector<uint8_t>;

inline void PutLittleEndian(Bytes& bytes, uint32_t value, int width) {
    for (int i = 0; i < width; ++i) bytes.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

inline void PutField(Bytes& bytes, const std::string& text) {
    PutLittleEndian(bytes, static_cast<uint32_t>(text.size()), 2);
    bytes.insert(bytes.end(), text.begin(), text.end());
    if (text.size() % 2) bytes.push_back(0);
}

// The XOR of bytes 12.. read as little-endian words, the last one zero-filled.
inline uint32_t ChecksumOf(const Bytes& blob) {
    uint32_t sum = 0;
    for (size_t i = 12; i < blob.size(); ++i) sum ^= uint32_t{blob[i]} << (8 * ((i - 12) % 4));
    return sum;
}

inline Bytes MakeBlob(const std::vector<std::pair<std::string, std::string>>& entries) {
    Bytes blob(12, 0);
    for (const auto& [key, value] : entries) {
        PutField(blob, key);
        PutField(blob, value);
    }
    Bytes header;
    PutLittleEndian(header, static_cast<uint32_t>(blob.size()), 4);
    PutLittleEndian(header, static_cast<uint32_t>(entries.size()) | 0xAE0000, 4);  // count, sanity byte
    PutLittleEndian(header, ChecksumOf(blob), 4);
    std::copy(header.begin(), header.end(), blob.begin());
    return blob;
}

inline std::string EncodeBase64(const Bytes& bytes) { return zun::EncodeBase64(bytes.data(), bytes.size()); }

}  // namespace zun::testing
