// Process heap port: the heap of blocks that cross to the caller, which frees
// them with the platform's own call (HeapFree on GetProcessHeap() on Windows,
// free() on Linux).
#pragma once

#include <cstddef>

namespace zun::platform {

// A zero-filled block, or null.
void* HeapAllocate(size_t bytes);
// The block resized, its content kept up to the smaller size; new bytes are
// not initialised. Null on failure, when the old block stays valid.
void* HeapReallocate(void* block, size_t bytes);
void HeapRelease(void* block);

}  // namespace zun::platform
