#include "platform/process_heap.h"

#include <windows.h>

namespace zun::platform {

void* HeapAllocate(size_t bytes) { return HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, bytes); }

void* HeapReallocate(void* block, size_t bytes) {
    if (block == nullptr) return HeapAlloc(GetProcessHeap(), 0, bytes);
    return HeapReAlloc(GetProcessHeap(), 0, block, bytes);
}

void HeapRelease(void* block) {
    if (block != nullptr) HeapFree(GetProcessHeap(), 0, block);
}

}  // namespace zun::platform
