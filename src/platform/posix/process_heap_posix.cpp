#include "platform/process_heap.h"

#include <cstdlib>

namespace zun::platform {

void* HeapAllocate(size_t bytes) { return std::calloc(1, bytes == 0 ? 1 : bytes); }

void* HeapReallocate(void* block, size_t bytes) { return std::realloc(block, bytes == 0 ? 1 : bytes); }

void HeapRelease(void* block) { std::free(block); }

}  // namespace zun::platform
