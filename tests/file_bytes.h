// A file's bytes as they are on disk; empty when it cannot be read.
#pragma once

#include <fstream>
#include <iterator>
#include <string>

namespace zun::testing {

inline std::string FileBytes(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

}  // namespace zun::testing
