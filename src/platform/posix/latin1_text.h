// The engine's 8-bit text and the browser's Unicode text: each byte is the
// code point of the same value; characters beyond U+00FF read as '?'.
#pragma once

#include <string>

namespace zun::platform::posix {

std::string Utf8FromEngineText(const char* text);
std::string EngineTextFromUtf8(const std::string& text);

}  // namespace zun::platform::posix
