// Registry helpers for tests. On Linux the test program's hives are files in
// a fresh folder; under Wine the tests share the prefix's registry, so they
// name their keys uniquely or overwrite what they read.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/registry.h"

namespace zun::testing {

std::string UniqueName(const char* prefix);
void PutValue(platform::RegistryRoot root, const std::string& path, const char* name, uint32_t type,
              const std::vector<uint8_t>& bytes);
// A binary value's bytes; nothing when the key or value is missing or empty.
std::optional<std::vector<uint8_t>> ValueBytes(platform::RegistryRoot root, const std::string& path, const char* name);

}  // namespace zun::testing
