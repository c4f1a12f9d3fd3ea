// Registry reads and writes of the purchase information and the affiliate
// values, over the registry port.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/registry.h"

namespace zun {

// The bytes of a value (none when the key or value is missing or unreadable).
// Small values come from a 4-byte first query; larger ones from a second
// query sized as the first one reported. A REG_SZ value loses its
// terminator, a REG_MULTI_SZ value its two final zeros, the zeros between
// its strings becoming blanks.
std::vector<uint8_t> ReadRegistryData(platform::RegistryRoot root, const char* path, const char* name);

// Creates the key when needed and writes `text` with its terminator as a
// REG_SZ value.
bool WriteRegistryString(platform::RegistryRoot root, const char* path, const char* name, const char* text);

}  // namespace zun
