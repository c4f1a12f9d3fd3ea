// Blocks of the process heap as the engine uses them: zero-filled when
// allocated, zero-filled where a resize adds room, released with null safety.
// Every allocation goes through here so that tests can make it fail.
#pragma once

#include <cstddef>
#include <cstdint>

#include "base/unique_handle.h"

namespace zun::heap {

void* Allocate(size_t bytes);
// Resizes a block of `oldSize` bytes to `newSize`, zeroing added bytes. Null on
// failure, when the old block stays as it was.
void* Resize(void* block, size_t oldSize, size_t newSize);
void Release(void* block);

// A block owned until it is handed on (Release()), so that no failure path
// leaves one behind in an out parameter.
using Block = UniqueHandle<uint8_t*, &Release>;

// Makes the next `count` calls of Allocate and Resize fail, as an exhausted
// heap would. For tests of the engine's out-of-memory paths.
void FailNextAllocations(unsigned count);

}  // namespace zun::heap
