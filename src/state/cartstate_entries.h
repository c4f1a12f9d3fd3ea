// The entries of a binary CartState (layout in cartstate.h), read in blob
// order from the end of the header up to the blob's total length.
#pragma once

#include <cstdint>

namespace zun {

struct CartStateEntry {
    uint32_t offset = 0;  // of the key length field
    uint32_t size = 0;    // both length fields, both texts and their pads
    const uint8_t* key = nullptr;
    uint16_t keyLength = 0;
    const uint8_t* value = nullptr;
    uint16_t valueLength = 0;
};

class CartStateEntries {
public:
    // A blob that is null or shorter than its header holds no entries.
    CartStateEntries(const uint8_t* blob, uint32_t totalLength);

    // The next entry; false when the blob holds no further entry or the next
    // one, key or value, does not end within the total length.
    bool Next(CartStateEntry& entry);

private:
    const uint8_t* _blob;
    // 64-bit offsets: no sum of 16-bit lengths below a 32-bit total can wrap.
    uint64_t _end;
    uint64_t _offset;
};

}  // namespace zun
