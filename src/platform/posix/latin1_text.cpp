#include "platform/posix/latin1_text.h"

namespace zun::platform::posix {

std::string Utf8FromEngineText(const char* text) {
    std::string out;
    if (text == nullptr) return out;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p != 0; ++p) {
        if (*p < 0x80) {
            out += static_cast<char>(*p);
        } else {
            out += static_cast<char>(0xC0 | (*p >> 6));
            out += static_cast<char>(0x80 | (*p & 0x3F));
        }
    }
    return out;
}

std::string EngineTextFromUtf8(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size();) {
        const unsigned char lead = static_cast<unsigned char>(text[i]);
        size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
        if (i + length > text.size()) length = text.size() - i;
        if (length == 1) {
            out += lead < 0x80 ? static_cast<char>(lead) : '?';
        } else if (length == 2 && lead <= 0xC3) {
            out += static_cast<char>(((lead & 0x1F) << 6) | (static_cast<unsigned char>(text[i + 1]) & 0x3F));
        } else {
            out += '?';
        }
        i += length;
    }
    return out;
}

}  // namespace zun::platform::posix
