// ui port: the window services the engine's dialogs need. Every dialog is
// modal and runs on the thread that calls RunModalDialog; other threads reach
// it only through SendWindowMessage, SetWindowTimer and PostWindowTask.
//
// Message numbers are the system's window message numbers on every platform,
// so the dialogs' message maps read the same everywhere.
#pragma once

#include <cstdint>
#include <functional>

#include "base/status.h"

namespace zun::platform::ui {

struct WindowTag;
using WindowHandle = WindowTag*;

struct Rect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;

    int32_t Width() const { return right - left; }
    int32_t Height() const { return bottom - top; }
};

inline constexpr uint32_t kMsgDestroy = 0x0002;
inline constexpr uint32_t kMsgClose = 0x0010;
inline constexpr uint32_t kMsgInitDialog = 0x0110;
inline constexpr uint32_t kMsgCommand = 0x0111;
inline constexpr uint32_t kMsgTimer = 0x0113;
inline constexpr uint32_t kMsgLButtonDown = 0x0201;
inline constexpr uint32_t kMsgLButtonDoubleClick = 0x0203;

inline constexpr intptr_t kIdOk = 1;
inline constexpr intptr_t kIdCancel = 2;

// Key state bits of mouse messages.
inline constexpr uintptr_t kMouseLeftButton = 0x0001;
inline constexpr uintptr_t kMouseShift = 0x0004;
inline constexpr uintptr_t kMouseControl = 0x0008;

// Dialog templates and icons of the engine module.
inline constexpr int kWizardDialogTemplate = 103;
inline constexpr int kEasterEggDialogTemplate = 243;
inline constexpr int kBrowserControlId = 201;
// Where the system has no certificate viewer (Linux), the engine's own: a
// dialog whose browser control fills it.
inline constexpr int kCertificateViewerTemplate = 270;
inline constexpr int kZoneIcon = 263;
inline constexpr int kRocketIcon = 265;
inline constexpr int kLockIcon = 266;

// Receives the messages of one dialog, on the dialog's thread.
class DialogHandler {
public:
    // Sets `handled` when the message was taken. Both backends turn an
    // unhandled WM_CLOSE into WM_COMMAND with IDCANCEL for this handler;
    // an IDCANCEL it does not handle is dropped and the dialog stays open:
    // only EndDialog ends it.
    virtual intptr_t OnMessage(WindowHandle dialog, uint32_t message, uintptr_t wParam, intptr_t lParam,
                               bool& handled) = 0;
    // WM_LBUTTONDOWN and WM_LBUTTONDBLCLK of the dialog's status bar, with the
    // key state and client coordinates (x low, y high 16 bits). These never
    // reach the status bar itself.
    virtual void OnStatusBarMouse(WindowHandle dialog, uint32_t message, uintptr_t keys, intptr_t position) = 0;

protected:
    ~DialogHandler() = default;
};

// Runs dialog template `templateId` modally on the calling thread with
// `owner` (may be null) until EndDialog; `code` receives EndDialog's code.
Status RunModalDialog(int templateId, WindowHandle owner, DialogHandler& handler, intptr_t initParam,
                      intptr_t* code);
void EndDialog(WindowHandle dialog, intptr_t code);

// True while `window` exists; safe on any thread and on stale handles.
bool IsWindow(WindowHandle window);
// The foreground window of the calling thread, the owner of the engine's
// modal dialogs (may be null).
WindowHandle GetActiveWindow();
WindowHandle GetDialogItem(WindowHandle dialog, int controlId);
Status DestroyWindow(WindowHandle window);

// Delivers a message synchronously from any thread and returns the handler's
// result. A send to a window that does not exist, or that is destroyed before
// it takes the message, fails with ZUN_E_NOT_FOUND instead of blocking; a
// message taken is a success even if its handler destroyed the window.
Status SendWindowMessage(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam,
                         intptr_t* result);
// Runs `task` on the dialog's thread, in its message loop, after the calls
// already queued. False when the dialog does not exist. A task still queued
// when the dialog is destroyed is destroyed with it, never run.
bool PostWindowTask(WindowHandle window, std::function<void()> task);
// A WM_TIMER with `id` every `periodMs` on the window's thread. Replaces a
// timer of the same id. Callable from any thread.
Status SetWindowTimer(WindowHandle window, uintptr_t id, uint32_t periodMs);
Status KillWindowTimer(WindowHandle window, uintptr_t id);

// Geometry. Window rectangles of top-level windows are in screen coordinates,
// those of child windows in their parent's client coordinates; client
// rectangles start at 0,0.
Status GetWindowRect(WindowHandle window, Rect* rect);
Status GetClientRect(WindowHandle window, Rect* rect);
Status SetWindowSize(WindowHandle window, int32_t width, int32_t height);
// Position and size, without any other change.
Status SetWindowBounds(WindowHandle window, const Rect& rect);
// Centres on `on`, or on the desktop's work area when `on` is null; the
// window stays inside the work area.
Status CenterWindow(WindowHandle window, WindowHandle on);
Status GetWorkArea(Rect* area);
bool IsWindowVisible(WindowHandle window);
bool IsWindowMinimized(WindowHandle window);
// The tool-window extended style: no task bar button.
Status SetToolWindow(WindowHandle window, bool toolWindow);
bool IsToolWindow(WindowHandle window);
Status SetCaption(WindowHandle window, const char* text);
Status GetCaption(WindowHandle window, char* buffer, size_t size);
// The window's small icon, one of the engine's icon resources.
Status SetSmallIcon(WindowHandle window, int iconId);

// Dialog controls: text, visibility.
Status SetControlText(WindowHandle dialog, int controlId, const char* text);
Status GetControlText(WindowHandle dialog, int controlId, char* buffer, size_t size);
Status ShowControl(WindowHandle dialog, int controlId, bool show);
bool IsControlVisible(WindowHandle dialog, int controlId);

// Status bar at the bottom of a dialog, with tooltips. Its mouse messages go
// to the dialog's OnStatusBarMouse.
Status CreateStatusBar(WindowHandle dialog, WindowHandle* statusBar);
// Right edges of the parts; -1 extends the last part to the end.
Status SetStatusBarParts(WindowHandle statusBar, const int32_t* rightEdges, int count);
// iconId 0 removes the part's icon.
Status SetStatusBarIcon(WindowHandle statusBar, int part, int iconId);
// The part's icon, 0 when it has none.
int GetStatusBarIcon(WindowHandle statusBar, int part);
Status SetStatusBarText(WindowHandle statusBar, int part, const char* text);
Status GetStatusBarText(WindowHandle statusBar, int part, char* buffer, size_t size);
Status SetStatusBarTipText(WindowHandle statusBar, int part, const char* text);
Status GetStatusBarTipText(WindowHandle statusBar, int part, char* buffer, size_t size);
Status GetStatusBarPartRect(WindowHandle statusBar, int part, Rect* rect);

// Progress bar child of a dialog, range 0 to 100.
Status CreateProgressBar(WindowHandle dialog, const Rect& rect, WindowHandle* progressBar);
Status SetProgressPosition(WindowHandle progressBar, int32_t position);
int32_t GetProgressPosition(WindowHandle progressBar);

// The system's vertical scroll bar arrow height.
int32_t GetVerticalScrollArrowHeight();

// Key messages of the calling thread's message loop, before the dialog
// sees them. A filter that returns true swallows the message.
class KeyFilter {
public:
    virtual bool OnKeyMessage(uint32_t message, uint32_t key) = 0;

protected:
    ~KeyFilter() = default;
};
inline constexpr uint32_t kMsgKeyDown = 0x0100;
inline constexpr uint32_t kMsgKeyUp = 0x0101;

Status InstallKeyboardHook(KeyFilter& filter);
void RemoveKeyboardHook();

// The engine module's instance: dialogs, icons and pages are its resources.
using ModuleInstance = void*;
ModuleInstance GetModuleInstance();

}  // namespace zun::platform::ui
