#include "state/cartstate_entries.h"

#include "base/byte_order.h"
#include "state/cartstate.h"

namespace zun {
namespace {

constexpr uint64_t Padded(uint64_t length) { return length + (length & 1); }

}  // namespace

CartStateEntries::CartStateEntries(const uint8_t* blob, uint32_t totalLength)
    : _blob(blob),
      _end(blob != nullptr && totalLength >= CartState::kHeaderSize ? totalLength : 0),
      _offset(CartState::kHeaderSize) {}

bool CartStateEntries::Next(CartStateEntry& entry) {
    if (_offset + 2 > _end) return false;
    const uint16_t keyLength = LoadLittleEndian16(_blob + _offset);
    const uint64_t keyAt = _offset + 2;
    const uint64_t valueFieldAt = keyAt + Padded(keyLength);
    if (valueFieldAt + 2 > _end) return false;
    const uint16_t valueLength = LoadLittleEndian16(_blob + valueFieldAt);
    const uint64_t valueAt = valueFieldAt + 2;
    const uint64_t next = valueAt + Padded(valueLength);
    if (next > _end) return false;

    entry.offset = static_cast<uint32_t>(_offset);
    entry.size = static_cast<uint32_t>(next - _offset);
    entry.key = _blob + keyAt;
    entry.keyLength = keyLength;
    entry.value = _blob + valueAt;
    entry.valueLength = valueLength;
    _offset = next;
    return true;
}

}  // namespace zun
