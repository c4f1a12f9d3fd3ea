// Case folding for the ASCII text the engine compares: tag names, schemes,
// host names, attribute values.
#pragma once

#include <string>
#include <string_view>

namespace zun {

// `text` with A to Z made lower case; every other byte as it is.
inline std::string AsciiLowered(std::string_view text) {
    std::string lowered(text);
    for (char& c : lowered) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return lowered;
}

}  // namespace zun
