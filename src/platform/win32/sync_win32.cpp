// The manual-reset event is a Win32 event object.
#include <windows.h>

#include "platform/sync.h"
#include "platform/win32/last_error.h"

namespace zun::platform::sync {

Status CreateManualResetEvent(EventHandle* event) {
    if (event == nullptr) return ZUN_E_INVALID_ARG;
    HANDLE handle = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    *event = reinterpret_cast<EventHandle>(handle);
    return handle != nullptr ? 0 : win32::LastErrorOr(ZUN_E_UNEXPECTED);
}

void SignalEvent(EventHandle event) {
    if (event != nullptr) SetEvent(reinterpret_cast<HANDLE>(event));
}

bool WaitForEvent(EventHandle event, uint32_t timeoutMs) {
    if (event == nullptr) return false;
    const DWORD wait = timeoutMs == kWaitWithoutLimit ? INFINITE : timeoutMs;
    return WaitForSingleObject(reinterpret_cast<HANDLE>(event), wait) == WAIT_OBJECT_0;
}

void CloseEvent(EventHandle event) {
    if (event != nullptr) CloseHandle(reinterpret_cast<HANDLE>(event));
}

}  // namespace zun::platform::sync
