#include "shopper/named_value_store.h"

#include <cctype>
#include <cstring>

#include "base/bounded_text.h"
#include "base/byte_order.h"
#include "base/engine_heap.h"
#include "base/trace.h"

namespace zun {
namespace {

constexpr uint32_t kLengthSize = 4;

uint32_t LoadBigEndian32(const uint8_t* at) {
    return (uint32_t{at[0]} << 24) | (uint32_t{at[1]} << 16) | (uint32_t{at[2]} << 8) | uint32_t{at[3]};
}

void StoreBigEndian32(uint8_t* at, uint32_t value) {
    at[0] = static_cast<uint8_t>(value >> 24);
    at[1] = static_cast<uint8_t>(value >> 16);
    at[2] = static_cast<uint8_t>(value >> 8);
    at[3] = static_cast<uint8_t>(value);
}

bool IsTrimmed(char c) { return c == '\t' || c == '\n' || c == '\r' || c == ' '; }

void Trim(std::string& value) {
    size_t first = 0;
    while (first < value.size() && IsTrimmed(value[first])) ++first;
    size_t last = value.size();
    while (last > first && IsTrimmed(value[last - 1])) --last;
    value = value.substr(first, last - first);
    for (char& c : value) {
        if (c == '\\') c = '/';
    }
}

bool BeginsWithIgnoringCase(const uint8_t* name, uint32_t nameLength, std::string_view prefix) {
    if (prefix.size() > nameLength) return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
        if (std::toupper(name[i]) != std::toupper(static_cast<unsigned char>(prefix[i]))) return false;
    }
    return true;
}

}  // namespace

NamedValueStore::NamedValueStore() {
    _buffer = static_cast<uint8_t*>(heap::Allocate(kChecksumSize));
    _size = _buffer != nullptr ? kChecksumSize : 0;
}

NamedValueStore::~NamedValueStore() { heap::Release(_buffer); }

uint32_t NamedValueStore::ByteSum(const uint8_t* bytes, size_t count) {
    uint32_t sum = 0;
    for (size_t i = 0; i < count; ++i) sum += bytes[i];
    return sum;
}

bool NamedValueStore::ReadEntry(const uint8_t* buffer, uint32_t size, uint32_t offset, Entry* entry) {
    // 64-bit sums: no length, however large, wraps around the end.
    uint64_t at = offset;
    if (at + kLengthSize > size) return false;
    const uint64_t nameLength = LoadBigEndian32(buffer + at);
    const uint64_t nameAt = at + kLengthSize;
    if (nameAt + nameLength + kLengthSize > size) return false;
    const uint64_t valueLengthAt = nameAt + nameLength;
    const uint64_t valueLength = LoadBigEndian32(buffer + valueLengthAt);
    const uint64_t valueAt = valueLengthAt + kLengthSize;
    if (valueAt + valueLength > size) return false;
    *entry = Entry{offset,
                   static_cast<uint32_t>(nameAt),
                   static_cast<uint32_t>(nameLength),
                   static_cast<uint32_t>(valueAt),
                   static_cast<uint32_t>(valueLength),
                   static_cast<uint32_t>(valueAt + valueLength)};
    return true;
}

Status NamedValueStore::Load(const uint8_t* data, size_t size) {
    if (data == nullptr || size < kChecksumSize || size > UINT32_MAX) return ZUN_E_INVALID_ARG;
    const uint32_t checksum = LoadLittleEndian32(data);
    if (checksum != 0 && checksum != ByteSum(data + kChecksumSize, size - kChecksumSize)) {
        ZUN_TRACE("ZUN_E: NamedValueStore::Load(): checksum 0x%08X does not match", checksum);
        return ZUN_E_INVALID_ARG;
    }
    const auto total = static_cast<uint32_t>(size);
    Entry entry;
    for (uint32_t offset = kChecksumSize; offset < total; offset = entry.end) {
        if (!ReadEntry(data, total, offset, &entry)) {
            ZUN_TRACE("ZUN_E: NamedValueStore::Load(): entry at %u runs past the end (%u bytes)", offset, total);
            return ZUN_E_READ_OUT_OF_BOUNDS;
        }
    }
    auto* copy = static_cast<uint8_t*>(heap::Allocate(size));
    if (copy == nullptr) return ZUN_E_OUT_OF_MEMORY;
    std::memcpy(copy, data, size);
    heap::Release(_buffer);
    _buffer = copy;
    _size = total;
    _current = Entry{};
    return 0;
}

bool NamedValueStore::Find(const char* name) {
    const std::string_view searched = TextOrEmpty(name);
    Entry entry;
    for (uint32_t offset = kChecksumSize; offset < _size; offset = entry.end) {
        if (!ReadEntry(_buffer, _size, offset, &entry)) return false;
        if (BeginsWithIgnoringCase(_buffer + entry.nameAt, entry.nameLength, searched)) {
            _current = entry;
            return true;
        }
    }
    return false;
}

std::string NamedValueStore::Get(const char* name) {
    if (!Find(name)) return {};
    const auto* value = reinterpret_cast<const char*>(_buffer + _current.valueAt);
    return std::string(value, strnlen(value, _current.valueLength));
}

void NamedValueStore::RemoveCurrent() {
    std::memmove(_buffer + _current.start, _buffer + _current.end, _size - _current.end);
    _size -= _current.end - _current.start;
    _current = Entry{};
}

void NamedValueStore::Remove(const char* name) {
    if (Find(name)) RemoveCurrent();
}

Status NamedValueStore::Append(std::string_view name, std::string_view value) {
    // A store whose first allocation failed gains its checksum field here.
    const uint32_t start = _size < kChecksumSize ? kChecksumSize : _size;
    const uint64_t newSize = uint64_t{start} + 2 * kLengthSize + name.size() + value.size();
    if (newSize > UINT32_MAX) return ZUN_E_BUFFER_GROW;
    auto* grown = static_cast<uint8_t*>(heap::Resize(_buffer, _size, static_cast<size_t>(newSize)));
    if (grown == nullptr) {
        ZUN_TRACE("ZUN_E: NamedValueStore::Set(): HeapReAlloc(%llu): Failure %u",
                  static_cast<unsigned long long>(newSize), ZUN_E_BUFFER_GROW);
        return ZUN_E_BUFFER_GROW;
    }
    _buffer = grown;
    uint8_t* at = _buffer + start;
    StoreBigEndian32(at, static_cast<uint32_t>(name.size()));
    std::memcpy(at + kLengthSize, name.data(), name.size());
    at += kLengthSize + name.size();
    StoreBigEndian32(at, static_cast<uint32_t>(value.size()));
    std::memcpy(at + kLengthSize, value.data(), value.size());
    _size = static_cast<uint32_t>(newSize);
    return 0;
}

Status NamedValueStore::Set(const char* name, std::string& value) {
    Trim(value);
    if (Find(name)) {
        if (_current.valueLength == value.size()) {
            std::memcpy(_buffer + _current.valueAt, value.data(), value.size());
            return 0;
        }
        // The new value goes to the end, as a new entry would. It is appended
        // before the old entry is removed, so a buffer that cannot grow keeps
        // the old value instead of losing it.
        const Entry old = _current;
        const Status status = Append(TextOrEmpty(name), value);
        if (status != 0) return status;
        _current = old;
        RemoveCurrent();
        return 0;
    }
    return Append(TextOrEmpty(name), value);
}

void NamedValueStore::StoreChecksum() {
    if (_size < kChecksumSize) return;
    StoreLittleEndian32(_buffer, ByteSum(_buffer + kChecksumSize, _size - kChecksumSize));
}

}  // namespace zun
