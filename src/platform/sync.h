// sync port: a manual-reset event that one thread waits on and another
// signals. The handshake's worker waits on one for the answer to a
// connection-error question; the wait dialog signals it. The handle travels
// as a plain integer inside a wait notice.
#pragma once

#include <cstdint>

#include "base/status.h"

namespace zun::platform::sync {

struct EventTag;
using EventHandle = EventTag*;

inline constexpr uint32_t kWaitWithoutLimit = 0xFFFFFFFFu;

// A new event, not signalled. 0, or the system's error number.
Status CreateManualResetEvent(EventHandle* event);
// Signals the event; it stays signalled. Every waiter wakes.
void SignalEvent(EventHandle event);
// True when the event is (or becomes) signalled within `timeoutMs`;
// kWaitWithoutLimit waits until it is.
bool WaitForEvent(EventHandle event, uint32_t timeoutMs);
void CloseEvent(EventHandle event);

// Owns one event and closes it.
class ManualResetEvent {
public:
    ManualResetEvent() = default;
    ~ManualResetEvent() { Reset(); }
    ManualResetEvent(const ManualResetEvent&) = delete;
    ManualResetEvent& operator=(const ManualResetEvent&) = delete;

    Status Create() {
        Reset();
        return CreateManualResetEvent(&_event);
    }
    EventHandle Get() const { return _event; }
    void Reset() {
        if (_event != nullptr) CloseEvent(_event);
        _event = nullptr;
    }

private:
    EventHandle _event = nullptr;
};

}  // namespace zun::platform::sync
