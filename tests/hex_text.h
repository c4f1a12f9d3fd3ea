// Bytes as lower-case hexadecimal text, as the test servers report bodies.
#pragma once

#include <string>

namespace zun::testing {

inline std::string Hex(const std::string& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string hex;
    for (unsigned char c : bytes) {
        hex += digits[c >> 4];
        hex += digits[c & 15];
    }
    return hex;
}

}  // namespace zun::testing
