// The manual-reset event over a mutex and a condition variable.
#include "platform/sync.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <new>

namespace zun::platform::sync {

struct EventTag {
    std::mutex lock;
    std::condition_variable signalled;
    bool set = false;
};

Status CreateManualResetEvent(EventHandle* event) {
    if (event == nullptr) return ZUN_E_INVALID_ARG;
    *event = new (std::nothrow) EventTag;
    return *event != nullptr ? 0 : ZUN_E_OUT_OF_MEMORY;
}

void SignalEvent(EventHandle event) {
    if (event == nullptr) return;
    // Notified under the lock: a waiter that wakes may close the event at
    // once, so the signaller must be done with it before the lock is free.
    std::lock_guard<std::mutex> guard(event->lock);
    event->set = true;
    event->signalled.notify_all();
}

bool WaitForEvent(EventHandle event, uint32_t timeoutMs) {
    if (event == nullptr) return false;
    std::unique_lock<std::mutex> guard(event->lock);
    if (timeoutMs == kWaitWithoutLimit) {
        event->signalled.wait(guard, [event] { return event->set; });
        return true;
    }
    return event->signalled.wait_for(guard, std::chrono::milliseconds(timeoutMs), [event] { return event->set; });
}

void CloseEvent(EventHandle event) { delete event; }

}  // namespace zun::platform::sync
