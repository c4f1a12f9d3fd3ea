// The window class of the browser control's slot in the wizard dialog
// template: a plain child window that the browser host fills.
#pragma once

#include <windows.h>

#include "base/status.h"

namespace zun::platform::win32 {

inline constexpr char kBrowserHostClass[] = "ZunBrowserHost";

// Told when the host window changes size; set as the window's user data.
class HostResizeListener {
public:
    virtual void OnHostResized() = 0;

protected:
    ~HostResizeListener() = default;
};

// Registers the class under `instance` once; later calls do nothing.
Status RegisterBrowserHostClass(HINSTANCE instance);
void UnregisterBrowserHostClass(HINSTANCE instance);

}  // namespace zun::platform::win32
