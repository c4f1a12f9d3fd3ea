// Bounded text operations for the engine's fixed-size 8-bit text buffers.
//
// Every operation that writes leaves the destination zero-terminated (when it
// has room for at least the terminator), reports a cut with
// ZUN_E_TEXT_TRUNCATED while keeping the cut text, and reports unusable
// arguments (null pointers, a zero or absurd size) with ZUN_E_BAD_TEXT_ARGUMENT.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <string_view>

#include "base/status.h"

// MinGW's printf family follows C99 (gnu_printf); clang knows only "printf".
#if defined(__clang__)
#define ZUN_PRINTF_FORMAT(format_index, first_arg) __attribute__((format(printf, format_index, first_arg)))
#elif defined(__GNUC__)
#define ZUN_PRINTF_FORMAT(format_index, first_arg) \
    __attribute__((format(gnu_printf, format_index, first_arg)))
#else
#define ZUN_PRINTF_FORMAT(format_index, first_arg)
#endif

namespace zun {

// Largest destination size accepted, as the platform's safe-string functions do.
inline constexpr size_t kMaxTextBufferSize = 0x7FFFFFFF;

Status CopyText(char* dest, size_t destSize, std::string_view source);
Status CopyText(char* dest, size_t destSize, const char* source);
Status AppendText(char* dest, size_t destSize, const char* source);
Status FormatText(char* dest, size_t destSize, const char* format, ...) ZUN_PRINTF_FORMAT(3, 4);
Status FormatTextV(char* dest, size_t destSize, const char* format, va_list args)
    ZUN_PRINTF_FORMAT(3, 0);

template <size_t N>
Status CopyText(char (&dest)[N], const char* source) {
    return CopyText(dest, N, source);
}

template <size_t N>
Status AppendText(char (&dest)[N], const char* source) {
    return AppendText(dest, N, source);
}

// The text held in a fixed-size buffer that need not be terminated: up to the
// first zero byte, or the whole buffer when it holds none. A lookup that fills
// its output completely leaves no terminator, so every reader of such an
// output goes through this instead of treating the buffer as a C string.
inline std::string_view TextInBuffer(const char* buffer, size_t size) {
    if (buffer == nullptr) return {};
    size_t length = 0;
    while (length < size && buffer[length] != '\0') ++length;
    return {buffer, length};
}

template <size_t N>
std::string_view TextInBuffer(const char (&buffer)[N]) {
    return TextInBuffer(buffer, N);
}

// A caller's optional text: null reads as empty text.
inline const char* TextOrEmpty(const char* text) { return text != nullptr ? text : ""; }

}  // namespace zun
