#include "platform/win32/browser_host_class.h"

#include "base/boundary.h"
#include "platform/win32/last_error.h"

namespace zun::platform::win32 {
namespace {

LRESULT CALLBACK HostProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_SIZE) {
        try {
            if (auto* listener = reinterpret_cast<HostResizeListener*>(GetWindowLongPtrA(window, GWLP_USERDATA))) {
                listener->OnHostResized();
            }
        }
        ZUN_CATCH_LOG()
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

Status RegisterBrowserHostClass(HINSTANCE instance) {
    WNDCLASSEXA existing{};
    existing.cbSize = sizeof existing;
    if (GetClassInfoExA(instance, kBrowserHostClass, &existing)) return 0;
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = HostProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = kBrowserHostClass;
    return RegisterClassExA(&windowClass) != 0 ? 0 : win32::LastErrorOr(ZUN_E_UNEXPECTED);
}

void UnregisterBrowserHostClass(HINSTANCE instance) { UnregisterClassA(kBrowserHostClass, instance); }

}  // namespace zun::platform::win32
