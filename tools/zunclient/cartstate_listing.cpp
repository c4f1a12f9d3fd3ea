#include "cartstate_listing.h"

#include <cstdint>
#include <string_view>

namespace {

constexpr uint32_t kHeaderSize = 12;
// Larger blobs are not believed: the engine's blobs are a few kilobytes.
constexpr uint32_t kLargestBlob = 16u * 1024 * 1024;

uint32_t ReadLittleEndian(const unsigned char* at, int bytes) {
    uint32_t value = 0;
    for (int i = bytes - 1; i >= 0; --i) value = value << 8 | at[i];
    return value;
}

// One length-prefixed field at `*offset`, padded to an even length; false
// when it runs past `total`.
bool ReadField(const unsigned char* blob, uint32_t total, uint32_t* offset, std::string_view* field) {
    if (total - *offset < 2) return false;
    const uint32_t length = ReadLittleEndian(blob + *offset, 2);
    *offset += 2;
    if (total - *offset < length) return false;
    *field = {reinterpret_cast<const char*>(blob + *offset), length};
    *offset += length + (length % 2);
    if (*offset > total) *offset = total;
    return true;
}

}  // namespace

void PrintCartState(std::FILE* out, const unsigned char* blob) {
    const uint32_t total = ReadLittleEndian(blob, 4);
    if (total < kHeaderSize || total > kLargestBlob) {
        std::fprintf(out, "  (not a CartState: total length %u)\n", total);
        return;
    }
    const uint32_t count = ReadLittleEndian(blob + 4, 2);
    uint32_t offset = kHeaderSize;
    for (uint32_t entry = 0; entry < count; ++entry) {
        std::string_view key, value;
        if (!ReadField(blob, total, &offset, &key) || !ReadField(blob, total, &offset, &value)) {
            std::fprintf(out, "  (entries end early, after %u of %u)\n", entry, count);
            return;
        }
        // Setting a key again blanks its old entry (all bytes zero) and
        // appends a new one: the blank is no entry of the cart.
        if (!key.empty() && key.front() == '\0') continue;
        std::fprintf(out, "  %.*s = %.*s\n", static_cast<int>(key.size()), key.data(),
                     static_cast<int>(value.size()), value.data());
    }
}
