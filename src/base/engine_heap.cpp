#include "base/engine_heap.h"

#include <atomic>
#include <cstring>

#include "platform/process_heap.h"

namespace zun::heap {
namespace {

std::atomic<unsigned> g_failuresToInject{0};

bool InjectFailure() {
    unsigned pending = g_failuresToInject.load(std::memory_order_relaxed);
    while (pending != 0) {
        if (g_failuresToInject.compare_exchange_weak(pending, pending - 1, std::memory_order_relaxed)) return true;
    }
    return false;
}

}  // namespace

void* Allocate(size_t bytes) {
    if (InjectFailure()) return nullptr;
    return platform::HeapAllocate(bytes);
}

void* Resize(void* block, size_t oldSize, size_t newSize) {
    if (InjectFailure()) return nullptr;
    void* resized = platform::HeapReallocate(block, newSize);
    if (resized != nullptr && newSize > oldSize) {
        std::memset(static_cast<unsigned char*>(resized) + oldSize, 0, newSize - oldSize);
    }
    return resized;
}

void Release(void* block) { platform::HeapRelease(block); }

void FailNextAllocations(unsigned count) { g_failuresToInject.store(count, std::memory_order_relaxed); }

}  // namespace zun::heap
