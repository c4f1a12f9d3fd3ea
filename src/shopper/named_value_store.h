// NamedValueStore: a growable byte buffer of name/value entries, the form in
// which the shopper's saved purchase information lives in the registry.
//
// Layout: a 4-byte little-endian checksum (the byte sum, modulo 2^32, of every
// byte after it; 0 means "not checked"), then entries back to back up to the
// end: name length N (u32, big-endian), N name bytes, value length V (u32,
// big-endian), V value bytes. No terminators.
//
// Names match by prefix without regard to letter case: the first entry whose
// name begins with the searched name is the one found, so "EMAIL" finds
// "email" and "ship" finds "shipfirstName".
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "base/status.h"

namespace zun {

class NamedValueStore {
public:
    static constexpr uint32_t kChecksumSize = 4;

    NamedValueStore();  // a store of 4 zero bytes: no checksum, no entries
    ~NamedValueStore();
    NamedValueStore(const NamedValueStore&) = delete;
    NamedValueStore& operator=(const NamedValueStore&) = delete;

    // Replaces the content with a serialised store. Refused, keeping the old
    // content, when it is shorter than the checksum, when its checksum is
    // neither 0 nor right, or when an entry's lengths run past its end.
    Status Load(const uint8_t* data, size_t size);

    bool Find(const char* name);
    // The value of the first matching entry, up to its first zero byte; empty
    // when there is none.
    std::string Get(const char* name);
    // Trims `value` in place (leading and trailing tabs, line feeds, carriage
    // returns and blanks; then every "\" becomes "/") and stores it under
    // `name`: over the old value when that has the same length, else as a new
    // entry at the end in place of the old one. ZUN_E_BUFFER_GROW when the
    // buffer cannot grow; the store is then unchanged.
    Status Set(const char* name, std::string& value);
    // Removes the first matching entry.
    void Remove(const char* name);

    // Writes the byte sum of the entries into the checksum field.
    void StoreChecksum();
    static uint32_t ByteSum(const uint8_t* bytes, size_t count);

    const uint8_t* Data() const { return _buffer; }
    uint32_t Size() const { return _size; }

private:
    // The entry that the last successful Find matched.
    struct Entry {
        uint32_t start = 0;
        uint32_t nameAt = 0;
        uint32_t nameLength = 0;
        uint32_t valueAt = 0;
        uint32_t valueLength = 0;
        uint32_t end = 0;
    };

    // Reads the entry at `offset`; false when its lengths run past `size`.
    static bool ReadEntry(const uint8_t* buffer, uint32_t size, uint32_t offset, Entry* entry);
    void RemoveCurrent();
    Status Append(std::string_view name, std::string_view value);

    uint8_t* _buffer = nullptr;
    uint32_t _size = 0;
    Entry _current;
};

}  // namespace zun
