// The engine's base64 coding (standard alphabet, "=" padding).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace zun {

// Decodes the zero-terminated `text` into `out`, at most `limit` bytes.
//
// A zero byte or "=" ends the text: the result is the number of bytes
// written. A character outside the alphabet (line breaks and blanks too) ends
// it with result 0, as does a text that decodes to more than `limit` bytes;
// the bytes written until then stay. When `count` is given, every decoded
// byte adds 1 to it, also the one that no longer fits.
size_t DecodeBase64(const char* text, uint8_t* out, size_t limit, size_t* count);

// The base64 text of `size` bytes, padded with "=".
std::string EncodeBase64(const uint8_t* data, size_t size);

}  // namespace zun
