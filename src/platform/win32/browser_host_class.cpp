#include "platform/win32/browser_host_class.h"

namespace zun::platform::win32 {

Status RegisterBrowserHostClass(HINSTANCE instance) {
    WNDCLASSEXA existing{};
    existing.cbSize = sizeof existing;
    if (GetClassInfoExA(instance, kBrowserHostClass, &existing)) return 0;
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = kBrowserHostClass;
    return RegisterClassExA(&windowClass) != 0 ? 0 : static_cast<Status>(GetLastError());
}

void UnregisterBrowserHostClass(HINSTANCE instance) { UnregisterClassA(kBrowserHostClass, instance); }

}  // namespace zun::platform::win32
