#include "base/bounded_text.h"

#include <cstdio>
#include <cstring>

namespace zun {
namespace {

bool UsableDestination(const char* dest, size_t destSize) {
    return dest != nullptr && destSize != 0 && destSize <= kMaxTextBufferSize;
}

// Writes `source` at `offset` of dest, cut to the room left before the
// terminator.
Status PlaceText(char* dest, size_t destSize, size_t offset, std::string_view source) {
    const size_t room = destSize - 1 - offset;
    const size_t count = source.size() < room ? source.size() : room;
    std::memmove(dest + offset, source.data(), count);
    dest[offset + count] = '\0';
    return count < source.size() ? ZUN_E_TEXT_TRUNCATED : 0;
}

}  // namespace

Status CopyText(char* dest, size_t destSize, std::string_view source) {
    if (!UsableDestination(dest, destSize)) return ZUN_E_BAD_TEXT_ARGUMENT;
    return PlaceText(dest, destSize, 0, source);
}

Status CopyText(char* dest, size_t destSize, const char* source) {
    if (!UsableDestination(dest, destSize)) return ZUN_E_BAD_TEXT_ARGUMENT;
    if (source == nullptr) {
        dest[0] = '\0';
        return ZUN_E_BAD_TEXT_ARGUMENT;
    }
    return PlaceText(dest, destSize, 0, source);
}

Status AppendText(char* dest, size_t destSize, const char* source) {
    if (!UsableDestination(dest, destSize)) return ZUN_E_BAD_TEXT_ARGUMENT;
    const size_t used = TextInBuffer(dest, destSize).size();
    if (used == destSize) {
        // The destination holds no terminator: it is not a text to append to.
        dest[destSize - 1] = '\0';
        return ZUN_E_BAD_TEXT_ARGUMENT;
    }
    if (source == nullptr) return ZUN_E_BAD_TEXT_ARGUMENT;
    return PlaceText(dest, destSize, used, source);
}

Status FormatTextV(char* dest, size_t destSize, const char* format, va_list args) {
    if (!UsableDestination(dest, destSize)) return ZUN_E_BAD_TEXT_ARGUMENT;
    if (format == nullptr) {
        dest[0] = '\0';
        return ZUN_E_BAD_TEXT_ARGUMENT;
    }
    const int written = std::vsnprintf(dest, destSize, format, args);
    if (written < 0) {
        dest[0] = '\0';
        return ZUN_E_BAD_TEXT_ARGUMENT;
    }
    return static_cast<size_t>(written) >= destSize ? ZUN_E_TEXT_TRUNCATED : 0;
}

Status FormatText(char* dest, size_t destSize, const char* format, ...) {
    va_list args;
    va_start(args, format);
    const Status status = FormatTextV(dest, destSize, format, args);
    va_end(args);
    return status;
}

}  // namespace zun
