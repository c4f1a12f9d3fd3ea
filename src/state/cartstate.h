// CartState: the key/value state blob that travels between the store server,
// the store's pages, the engine and the calling application.
//
// Binary form (little-endian): a 12-byte header (total length u32, entry
// count u16, sanity byte 0xAE, reserved byte, XOR checksum u32 of bytes 12 to
// total length - 1), then entries back to back, each: key length u16, key
// bytes, a zero pad when odd, value length u16, value bytes, a zero pad when
// odd. Text form: the whole blob in base64.
#pragma once

#include <cstddef>
#include <cstdint>

#include "base/status.h"

namespace zun {

class CartState {
public:
    static constexpr uint32_t kHeaderSize = 12;
    static constexpr uint8_t kSanity = 0xAE;
    static constexpr uint32_t kInitialCapacity = 3072;

    CartState();
    ~CartState();
    CartState(const CartState&) = delete;
    CartState& operator=(const CartState&) = delete;

    // Decodes and validates a blob in base64 text form, replacing the content.
    Status SetCartState(const char* text);
    bool IsValid();

    // Looks a key up (see GetValueFromBuffer) in the loaded blob.
    Status GetValue(const char* key, char* out, uint16_t outSize, uint32_t* position = nullptr,
                    uint32_t* length = nullptr);

    // Looks `key` up in a binary blob of `totalLength` bytes. The first entry
    // whose key begins with `key` matches. Its value fills `out` (outSize
    // bytes, zero-filled first); a value of outSize bytes or more is cut to
    // outSize bytes and left without a terminator, so readers bound every use
    // of `out` by outSize (TextInBuffer). Reports the entry's offset and its
    // length in bytes when asked. A blob shorter than its header, or an entry
    // running past totalLength, holds no (further) entries.
    static Status GetValueFromBuffer(const uint8_t* blob, uint32_t totalLength, const char* key, char* out,
                                     uint16_t outSize, uint32_t* position = nullptr, uint32_t* length = nullptr);

    // Blanks the entry that a lookup of `key` finds and appends key = value.
    // The blob is not valid again until UpdateChecksum.
    Status SetValue(const char* key, const char* value);
    bool UpdateChecksum();
    bool CalculateChecksum(uint32_t* checksum);
    Status get_TotalLength(uint32_t* length);
    // A copy of the blob's total-length bytes on the process heap, owned by
    // the caller.
    Status CopyCartState(uint8_t** copy);

private:
    struct Header {
        uint32_t totalLength = 0;
        uint16_t entryCount = 0;
        uint8_t sanity = 0;
        uint8_t reserved = 0;
        uint32_t checksum = 0;
    };

    void LoadHeaderFromBlob();
    void StoreHeaderInBlob();
    // The blob's extent as the header gives it, when the buffer holds it.
    bool HeaderFitsBuffer() const;

    Header _header;
    uint8_t* _blob = nullptr;
    uint32_t _capacity = 0;
};

}  // namespace zun
