#include "state/cartstate.h"

#include <cinttypes>
#include <cstring>
#include <string_view>

#include "base/bounded_text.h"
#include "base/byte_order.h"
#include "base/engine_heap.h"
#include "base/trace.h"
#include "state/base64.h"
#include "state/cartstate_entries.h"

namespace zun {
namespace {

constexpr uint32_t kMaxFieldLength = 0xFFFF;

constexpr uint64_t Padded(uint64_t length) { return length + (length & 1); }

// The first entry whose key begins with `key`.
bool FindEntry(const uint8_t* blob, uint32_t totalLength, std::string_view key, CartStateEntry& found) {
    CartStateEntries entries(blob, totalLength);
    while (entries.Next(found)) {
        if (found.keyLength > 0 && found.keyLength >= key.size() &&
            std::memcmp(found.key, key.data(), key.size()) == 0) {
            return true;
        }
    }
    return false;
}

// Zeroes an entry's key and value text; the entry keeps its place and size.
void BlankEntry(uint8_t* blob, const CartStateEntry& entry) {
    std::memset(blob + entry.offset + 2, 0, entry.keyLength);
    const auto valueAt = static_cast<size_t>(entry.value - blob);
    std::memset(blob + valueAt, 0, entry.valueLength);
}

}  // namespace

CartState::CartState() {
    _blob = static_cast<uint8_t*>(heap::Allocate(kInitialCapacity));
    _capacity = _blob != nullptr ? kInitialCapacity : 0;
}

CartState::~CartState() { heap::Release(_blob); }

void CartState::LoadHeaderFromBlob() {
    _header.totalLength = LoadLittleEndian32(_blob);
    _header.entryCount = LoadLittleEndian16(_blob + 4);
    _header.sanity = _blob[6];
    _header.reserved = _blob[7];
    _header.checksum = LoadLittleEndian32(_blob + 8);
}

void CartState::StoreHeaderInBlob() {
    StoreLittleEndian32(_blob, _header.totalLength);
    StoreLittleEndian16(_blob + 4, _header.entryCount);
    _blob[6] = _header.sanity;
    _blob[7] = _header.reserved;
    StoreLittleEndian32(_blob + 8, _header.checksum);
}

bool CartState::HeaderFitsBuffer() const {
    return _blob != nullptr && _header.totalLength >= kHeaderSize && _header.totalLength <= _capacity;
}

Status CartState::SetCartState(const char* text) {
    ZUN_TRACE("ZUN: Prolog CartState::SetCartState()");
    if (text == nullptr) {
        ZUN_TRACE("ZUN: CartState::SetCartState(): blob was NULL.");
        return ZUN_E_INVALID_ARG;
    }
    const size_t length = std::strlen(text);
    if (length < kHeaderSize) {
        ZUN_TRACE("ZUN: CartState::SetCartState(): blob was too small.");
        return ZUN_E_INVALID_ARG;
    }
    if (length > UINT32_MAX) {
        ZUN_TRACE("ZUN_E: CartState::SetCartState(): blob of %zu characters is too large.", length);
        return ZUN_E_INVALID_ARG;
    }
    if (length > _capacity) {
        // A fresh block: the old content is replaced anyway, and on failure
        // the object keeps it.
        auto* grown = static_cast<uint8_t*>(heap::Allocate(length));
        if (grown == nullptr) {
            ZUN_TRACE("ZUN_E: CartState::SetCartState(): HeapAlloc(%zu): Failure", length);
            return ZUN_E_OUT_OF_MEMORY;
        }
        heap::Release(_blob);
        _blob = grown;
        _capacity = static_cast<uint32_t>(length);
    }
    std::memset(_blob, 0, _capacity);
    // The decoder's result is not consulted: a text that breaks off leaves the
    // bytes decoded so far and zeros behind them, and validation decides.
    size_t decoded = 0;
    DecodeBase64(text, _blob, length, &decoded);
    LoadHeaderFromBlob();

    // The zeros behind a text that ends early leave an XOR checksum as it
    // is, so a header that claims more bytes than the text holds would pass
    // it; a genuine blob always brings its whole length. The bytes are
    // cleared so that the refused text is not taken for a valid CartState.
    if (decoded < _header.totalLength) {
        ZUN_TRACE("ZUN_E: CartState::SetCartState(): total length %u, but the text holds %zu bytes.",
                  _header.totalLength, decoded);
        std::memset(_blob, 0, _capacity);
        LoadHeaderFromBlob();
        ZUN_TRACE("ZUN: Epilog CartState::SetCartState()");
        return ZUN_E_INVALID_CARTSTATE;
    }

    if (!IsValid()) {
        ZUN_TRACE("ZUN_E: CartState::SetCartState(): CartState is not valid, or possibly no CartState found.");
        ZUN_TRACE("ZUN: CartState::SetCartState(): The blob given to me has %zu characters", length);
        ZUN_TRACE("ZUN: Epilog CartState::SetCartState()");
        return ZUN_E_INVALID_CARTSTATE;
    }
    ZUN_TRACE("ZUN: Epilog CartState::SetCartState()");
    return 0;
}

bool CartState::IsValid() {
    ZUN_TRACE("ZUN: Prolog CartState::IsValid");
    if (_blob == nullptr) {
        ZUN_TRACE("ZUN: CartState::IsValid(): Not Valid - this->_blob == NULL");
        ZUN_TRACE("ZUN: Epilog CartState::IsValid");
        return false;
    }
    if (_header.sanity != kSanity) {
        ZUN_TRACE("ZUN: CartState::IsValid(): Not Valid - sanity is %d", _header.sanity);
        ZUN_TRACE("ZUN: Epilog CartState::IsValid");
        return false;
    }
    uint32_t checksum = 0;
    if (!CalculateChecksum(&checksum)) return false;
    if (checksum != _header.checksum) {
        ZUN_TRACE("ZUN: CartState::IsValid(): Not Valid - checksum");
        ZUN_TRACE("ZUN: Epilog CartState::IsValid");
        return false;
    }
    ZUN_TRACE("ZUN: CartState::IsValid(): Valid");
    ZUN_TRACE("ZUN: Epilog CartState::IsValid");
    return true;
}

bool CartState::CalculateChecksum(uint32_t* checksum) {
    if (checksum == nullptr || _blob == nullptr) return false;
    if (!HeaderFitsBuffer()) {
        ZUN_TRACE("ZUN_E: CartState::CalculateChecksum(): total length %u outside 12..%u",
                  _header.totalLength, _capacity);
        return false;
    }
    // XOR of the bytes from offset 12 read as little-endian 32-bit words, the
    // last word filled up with zero bytes.
    const uint8_t* bytes = _blob + kHeaderSize;
    const uint32_t count = _header.totalLength - kHeaderSize;
    uint32_t sum = 0;
    uint32_t at = 0;
    for (; at + 4 <= count; at += 4) sum ^= LoadLittleEndian32(bytes + at);
    for (unsigned shift = 0; at < count; ++at, shift += 8) sum ^= uint32_t{bytes[at]} << shift;
    *checksum = sum;
    return true;
}

Status CartState::GetValue(const char* key, char* out, uint16_t outSize, uint32_t* position, uint32_t* length) {
    // A header whose length the buffer does not hold describes no entries.
    const uint32_t totalLength = HeaderFitsBuffer() ? _header.totalLength : 0;
    return GetValueFromBuffer(_blob, totalLength, key, out, outSize, position, length);
}

Status CartState::GetValueFromBuffer(const uint8_t* blob, uint32_t totalLength, const char* key, char* out,
                                     uint16_t outSize, uint32_t* position, uint32_t* length) {
    ZUN_TRACE("ZUN: Prolog CartState::GetValueFromBuffer(%s,%" PRIxPTR ",%u)", TextOrEmpty(key),
              reinterpret_cast<uintptr_t>(out), outSize);
    if (key == nullptr || out == nullptr || outSize == 0) {
        ZUN_TRACE("ZUN_E: CartState::GetValueFromBuffer(): no key or no output buffer");
        return ZUN_E_INVALID_ARG;
    }
    CartStateEntry entry;
    if (FindEntry(blob, totalLength, key, entry)) {
        std::memset(out, 0, outSize);
        std::memcpy(out, entry.value, entry.valueLength < outSize ? entry.valueLength : outSize);
        if (position != nullptr) *position = entry.offset;
        if (length != nullptr) *length = entry.size;
        // Values may be the shopper's: their length only.
        ZUN_TRACE("ZUN: Epilog CartState::get_GetValueFromBuffer(): Object Found (%zu bytes)",
                  TextInBuffer(out, outSize).size());
        return 0;
    }
    out[0] = '\0';
    ZUN_TRACE("ZUN: Epilog CartState::get_GetValueFromBuffer(): Object Not Found");
    return ZUN_E_NOT_FOUND;
}

Status CartState::SetValue(const char* key, const char* value) {
    ZUN_TRACE("ZUN: Prolog CartState::CreateEntry(%s) = %zu bytes", TextOrEmpty(key), std::strlen(TextOrEmpty(value)));
    Status status = ZUN_E_BLOB_RESIZE;
    const size_t keyLength = key != nullptr ? std::strlen(key) : 0;
    const size_t valueLength = value != nullptr ? std::strlen(value) : 0;
    if (key == nullptr || value == nullptr || keyLength > kMaxFieldLength || valueLength > kMaxFieldLength) {
        // The length fields are 16 bits wide: a longer text cannot be stored.
        status = ZUN_E_INVALID_ARG;
        ZUN_TRACE("ZUN_E: CartState::SetValue(): key or value missing or longer than 65535 bytes");
        ZUN_TRACE("ZUN: Epilog CartState::set_SetValue(): %d", static_cast<int>(status));
        return status;
    }
    if (_blob != nullptr && _header.totalLength > _capacity) {
        // The header names bytes the buffer does not hold: there is no end
        // of the blob to append at.
        status = ZUN_E_INVALID_CARTSTATE;
        ZUN_TRACE("ZUN_E: CartState::SetValue(): total length %u beyond the buffer", _header.totalLength);
        ZUN_TRACE("ZUN: Epilog CartState::set_SetValue(): %d", static_cast<int>(status));
        return status;
    }

    CartStateEntry found;
    if (FindEntry(_blob, HeaderFitsBuffer() ? _header.totalLength : 0, key, found)) BlankEntry(_blob, found);

    // An object without a blob (never loaded, or loaded with a length shorter
    // than the header) starts an empty one, so the entry lands after a header.
    Header header = _header;
    if (header.totalLength < kHeaderSize) header = Header{kHeaderSize, 0, kSanity, 0, 0};

    const uint64_t newTotal =
        uint64_t{header.totalLength} + 4 + Padded(keyLength) + Padded(valueLength);
    void* resized = newTotal <= UINT32_MAX ? heap::Resize(_blob, _capacity, static_cast<size_t>(newTotal)) : nullptr;
    if (resized != nullptr) {
        _blob = static_cast<uint8_t*>(resized);
        _capacity = static_cast<uint32_t>(newTotal);
        uint8_t* entry = _blob + header.totalLength;
        StoreLittleEndian16(entry, static_cast<uint16_t>(keyLength));
        std::memcpy(entry + 2, key, keyLength);
        entry += 2 + Padded(keyLength);
        if (keyLength & 1) entry[-1] = 0;
        StoreLittleEndian16(entry, static_cast<uint16_t>(valueLength));
        std::memcpy(entry + 2, value, valueLength);
        if (valueLength & 1) entry[2 + valueLength] = 0;

        header.totalLength = static_cast<uint32_t>(newTotal);
        header.entryCount = static_cast<uint16_t>(header.entryCount + 1);
        const bool freshHeader = _header.totalLength < kHeaderSize;
        _header = header;
        if (freshHeader) {
            StoreHeaderInBlob();
        } else {
            StoreLittleEndian32(_blob, _header.totalLength);
            StoreLittleEndian16(_blob + 4, _header.entryCount);
        }
        status = 0;
    }
    ZUN_TRACE("ZUN: Epilog CartState::set_SetValue(): %d", static_cast<int>(status));
    return status;
}

bool CartState::UpdateChecksum() {
    uint32_t checksum = 0;
    if (!CalculateChecksum(&checksum)) return false;
    _header.checksum = checksum;
    StoreLittleEndian32(_blob + 8, checksum);
    return IsValid();
}

Status CartState::get_TotalLength(uint32_t* length) {
    ZUN_TRACE("ZUN: Prolog CartState::get_TotalLength()");
    if (length == nullptr) {
        ZUN_TRACE("ZUN: CartState::GetTotalLength(): len was NULL.");
        return ZUN_E_INVALID_ARG;
    }
    *length = _header.totalLength;
    ZUN_TRACE("ZUN: Epilog CartState::get_TotalLength()");
    return 0;
}

Status CartState::CopyCartState(uint8_t** copy) {
    ZUN_TRACE("ZUN: Prolog CartState::CopyCartState()");
    uint32_t totalLength = 0;
    Status status = get_TotalLength(&totalLength);
    if (status == 0 && copy == nullptr) status = ZUN_E_INVALID_ARG;
    if (status == 0 && !HeaderFitsBuffer()) {
        ZUN_TRACE("ZUN_E: CartState::CopyCartState(): total length %u outside 12..%u", totalLength, _capacity);
        status = ZUN_E_INVALID_CARTSTATE;
    }
    if (status == 0) {
        auto* block = static_cast<uint8_t*>(heap::Allocate(totalLength));
        if (block == nullptr) {
            ZUN_TRACE("ZUN_E: CartState::CopyCartState(): HeapAlloc(%u): Failure", totalLength);
            status = ZUN_E_OUT_OF_MEMORY;
        } else {
            std::memcpy(block, _blob, totalLength);
            *copy = block;
        }
    }
    ZUN_TRACE("ZUN: Epilog CartState::CopyCartState()");
    return status;
}

}  // namespace zun
