// Window services over user32 and the common controls.
#include "platform/ui.h"

#include <windows.h>

#include <commctrl.h>

#include <deque>
#include <map>
#include <mutex>
#include <string>

#include "base/boundary.h"
#include "base/bounded_text.h"
#include "platform/win32/browser_host_class.h"
#include "platform/win32/engine_module.h"
#include "platform/win32/last_error.h"

namespace zun::platform::ui {
namespace {

using win32::LastErrorOr;

HWND ToHwnd(WindowHandle handle) { return reinterpret_cast<HWND>(handle); }
WindowHandle ToHandle(HWND hwnd) { return reinterpret_cast<WindowHandle>(hwnd); }

HINSTANCE Instance() { return static_cast<HINSTANCE>(GetModuleInstance()); }

// Runs a function on a window's thread: posted tasks and calls that must be
// made by the window's own thread (timers).
UINT TaskMessage() {
    static const UINT message = RegisterWindowMessageA("ZunServer.WindowTask");
    return message;
}

constexpr WPARAM kPostedTask = 0;
constexpr WPARAM kSentTask = 1;

bool IsOwnThread(HWND hwnd) { return GetWindowThreadProcessId(hwnd, nullptr) == GetCurrentThreadId(); }

// Tasks posted to a dialog wait in a queue of the dialog's own; the posted
// message only says "run the next one". The queue lives from WM_INITDIALOG
// to WM_NCDESTROY, and tasks still in it then are destroyed with it, so a
// task posted to a dialog that goes away is freed, never leaked.
class PostedTasks {
public:
    void Open(HWND dialog) {
        std::lock_guard<std::mutex> lock(_lock);
        _queues[dialog];
    }
    void Close(HWND dialog) {
        std::deque<std::function<void()>> dropped;
        {
            std::lock_guard<std::mutex> lock(_lock);
            auto it = _queues.find(dialog);
            if (it == _queues.end()) return;
            dropped.swap(it->second);
            _queues.erase(it);
        }
        // Destroyed outside the lock: a task's captures may post again.
    }
    bool Post(HWND dialog, std::function<void()> task) {
        std::lock_guard<std::mutex> lock(_lock);
        auto it = _queues.find(dialog);
        if (it == _queues.end()) return false;
        it->second.push_back(std::move(task));
        if (PostMessageA(dialog, TaskMessage(), kPostedTask, 0)) return true;
        it->second.pop_back();
        return false;
    }
    std::function<void()> Next(HWND dialog) {
        std::lock_guard<std::mutex> lock(_lock);
        auto it = _queues.find(dialog);
        if (it == _queues.end() || it->second.empty()) return {};
        std::function<void()> task = std::move(it->second.front());
        it->second.pop_front();
        return task;
    }

private:
    std::mutex _lock;
    std::map<HWND, std::deque<std::function<void()>>> _queues;
};

PostedTasks& ThePostedTasks() {
    static PostedTasks tasks;
    return tasks;
}

struct DialogStart {
    DialogHandler* handler;
    LPARAM initParam;
    bool created = false;  // the dialog reached WM_INITDIALOG
};

DialogHandler* HandlerOf(HWND dialog) {
    return reinterpret_cast<DialogHandler*>(GetWindowLongPtrA(dialog, DWLP_USER));
}

INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    try {
        if (message == WM_INITDIALOG) {
            auto* start = reinterpret_cast<DialogStart*>(lParam);
            start->created = true;
            SetWindowLongPtrA(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(start->handler));
            ThePostedTasks().Open(dialog);
            bool handled = false;
            return start->handler->OnMessage(ToHandle(dialog), message, wParam, start->initParam, handled);
        }
        if (message == WM_NCDESTROY) ThePostedTasks().Close(dialog);
        if (message == TaskMessage() && message != 0) {
            if (wParam == kPostedTask) {
                if (std::function<void()> task = ThePostedTasks().Next(dialog)) task();
            } else {
                (*reinterpret_cast<std::function<void()>*>(lParam))();
            }
            return TRUE;
        }
        DialogHandler* handler = HandlerOf(dialog);
        if (handler == nullptr) return FALSE;
        bool handled = false;
        const intptr_t result = handler->OnMessage(ToHandle(dialog), message, wParam, lParam, handled);
        if (!handled) return FALSE;
        SetWindowLongPtrA(dialog, DWLP_MSGRESULT, result);
        return TRUE;
    }
    ZUN_CATCH_RETURN_VALUE(FALSE)
}

constexpr char kStatusBarProcProperty[] = "ZunServer.StatusBarProc";

LRESULT CALLBACK StatusBarProc(HWND bar, UINT message, WPARAM wParam, LPARAM lParam) {
    try {
        auto previous = reinterpret_cast<WNDPROC>(GetPropA(bar, kStatusBarProcProperty));
        if (message == WM_LBUTTONDOWN || message == WM_LBUTTONDBLCLK) {
            HWND dialog = GetParent(bar);
            if (DialogHandler* handler = HandlerOf(dialog)) {
                handler->OnStatusBarMouse(ToHandle(dialog), message, wParam, lParam);
            }
            return 0;
        }
        if (message == WM_NCDESTROY) RemovePropA(bar, kStatusBarProcProperty);
        return CallWindowProcA(previous, bar, message, wParam, lParam);
    }
    ZUN_CATCH_RETURN_VALUE(0)
}

HICON LoadSmallIcon(int iconId) {
    return static_cast<HICON>(
        LoadImageA(Instance(), MAKEINTRESOURCEA(iconId), IMAGE_ICON, 16, 16, LR_SHARED));
}

thread_local HHOOK tKeyboardHook = nullptr;
thread_local KeyFilter* tKeyFilter = nullptr;

LRESULT CALLBACK KeyboardHookProc(int code, WPARAM wParam, LPARAM lParam) {
    try {
        auto* msg = reinterpret_cast<MSG*>(lParam);
        if (code >= 0 && tKeyFilter != nullptr && (msg->message == WM_KEYDOWN || msg->message == WM_KEYUP)) {
            if (tKeyFilter->OnKeyMessage(msg->message, static_cast<uint32_t>(msg->wParam))) *msg = MSG{};
        }
    }
    ZUN_CATCH_LOG()
    return CallNextHookEx(tKeyboardHook, code, wParam, lParam);
}

}  // namespace

Status RunModalDialog(int templateId, WindowHandle owner, DialogHandler& handler, intptr_t initParam,
                      intptr_t* code) {
    InitCommonControls();
    // The browser host's window class lives as long as the dialog that
    // needs it: a class left registered under this module would keep a newly
    // installed engine, loaded at the same address, from registering its own.
    const bool hostsBrowser = templateId == kWizardDialogTemplate;
    if (hostsBrowser) {
        const Status status = win32::RegisterBrowserHostClass(Instance());
        if (status != 0) return status;
    }
    DialogStart start{&handler, initParam};
    SetLastError(0);
    const INT_PTR result = DialogBoxParamA(Instance(), MAKEINTRESOURCEA(templateId), ToHwnd(owner), DialogProc,
                                           reinterpret_cast<LPARAM>(&start));
    const DWORD dialogError = GetLastError();
    if (hostsBrowser) win32::UnregisterBrowserHostClass(Instance());
    SetLastError(dialogError);
    // -1 is also a code a dialog may end with; it means failure only when the
    // dialog was never created.
    if (result == -1 && !start.created) return LastErrorOr(ZUN_E_NOT_FOUND);
    if (code != nullptr) *code = result;
    return 0;
}

void EndDialog(WindowHandle dialog, intptr_t code) { ::EndDialog(ToHwnd(dialog), code); }

bool IsWindow(WindowHandle window) { return window != nullptr && ::IsWindow(ToHwnd(window)); }

WindowHandle GetActiveWindow() { return ToHandle(::GetActiveWindow()); }

WindowHandle GetDialogItem(WindowHandle dialog, int controlId) {
    return ToHandle(GetDlgItem(ToHwnd(dialog), controlId));
}

Status DestroyWindow(WindowHandle window) {
    return ::DestroyWindow(ToHwnd(window)) ? 0 : LastErrorOr(ZUN_E_NOT_FOUND);
}

namespace {

// Runs `call` on the window's thread. A call from another thread travels as a
// sent task, so a window destroyed before its thread took the task is told
// apart from one that ran it and went away right after.
Status OnWindowThread(WindowHandle window, const std::function<Status()>& call) {
    if (!IsWindow(window)) return ZUN_E_NOT_FOUND;
    if (IsOwnThread(ToHwnd(window))) return call();
    bool ran = false;
    Status status = 0;
    std::function<void()> task = [&] {
        status = call();
        ran = true;
    };
    DWORD_PTR ignored = 0;
    SendMessageTimeoutA(ToHwnd(window), TaskMessage(), kSentTask, reinterpret_cast<LPARAM>(&task), SMTO_NORMAL,
                        INFINITE, &ignored);
    return ran ? status : ZUN_E_NOT_FOUND;
}

}  // namespace

Status SendWindowMessage(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam,
                         intptr_t* result) {
    LRESULT value = 0;
    const Status status = OnWindowThread(window, [&]() -> Status {
        value = SendMessageA(ToHwnd(window), message, wParam, lParam);
        return 0;
    });
    if (status == 0 && result != nullptr) *result = static_cast<intptr_t>(value);
    return status;
}

bool PostWindowTask(WindowHandle window, std::function<void()> task) {
    if (!IsWindow(window) || !task) return false;
    return ThePostedTasks().Post(ToHwnd(window), std::move(task));
}

Status SetWindowTimer(WindowHandle window, uintptr_t id, uint32_t periodMs) {
    return OnWindowThread(window, [=]() -> Status {
        return ::SetTimer(ToHwnd(window), id, periodMs, nullptr) != 0 ? 0 : LastErrorOr(ZUN_E_NOT_FOUND);
    });
}

Status KillWindowTimer(WindowHandle window, uintptr_t id) {
    return OnWindowThread(window, [=]() -> Status {
        return ::KillTimer(ToHwnd(window), id) ? 0 : LastErrorOr(ZUN_E_NOT_FOUND);
    });
}

Status GetWindowRect(WindowHandle window, Rect* rect) {
    if (rect == nullptr) return ZUN_E_INVALID_ARG;
    RECT r;
    if (!::GetWindowRect(ToHwnd(window), &r)) return LastErrorOr(ZUN_E_NOT_FOUND);
    if (GetWindowLongA(ToHwnd(window), GWL_STYLE) & WS_CHILD) {
        MapWindowPoints(HWND_DESKTOP, GetParent(ToHwnd(window)), reinterpret_cast<POINT*>(&r), 2);
    }
    *rect = {r.left, r.top, r.right, r.bottom};
    return 0;
}

Status GetClientRect(WindowHandle window, Rect* rect) {
    if (rect == nullptr) return ZUN_E_INVALID_ARG;
    RECT r;
    if (!::GetClientRect(ToHwnd(window), &r)) return LastErrorOr(ZUN_E_NOT_FOUND);
    *rect = {r.left, r.top, r.right, r.bottom};
    return 0;
}

Status SetWindowSize(WindowHandle window, int32_t width, int32_t height) {
    return SetWindowPos(ToHwnd(window), nullptr, 0, 0, width, height,
                        SWP_NOMOVE | SWP_NOZORDER | SWP_FRAMECHANGED)
               ? 0
               : LastErrorOr(ZUN_E_NOT_FOUND);
}

Status SetWindowBounds(WindowHandle window, const Rect& rect) {
    return SetWindowPos(ToHwnd(window), nullptr, rect.left, rect.top, rect.Width(), rect.Height(), 0)
               ? 0
               : LastErrorOr(ZUN_E_NOT_FOUND);
}

Status CenterWindow(WindowHandle window, WindowHandle on) {
    Rect area;
    GetWorkArea(&area);
    Rect self;
    Status status = GetWindowRect(window, &self);
    if (status != 0) return status;
    Rect around = area;
    if (on != nullptr && GetWindowRect(on, &around) != 0) around = area;
    int32_t left = around.left + (around.Width() - self.Width()) / 2;
    int32_t top = around.top + (around.Height() - self.Height()) / 2;
    if (left + self.Width() > area.right) left = area.right - self.Width();
    if (top + self.Height() > area.bottom) top = area.bottom - self.Height();
    if (left < area.left) left = area.left;
    if (top < area.top) top = area.top;
    return SetWindowPos(ToHwnd(window), nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE)
               ? 0
               : LastErrorOr(ZUN_E_NOT_FOUND);
}

Status GetWorkArea(Rect* area) {
    if (area == nullptr) return ZUN_E_INVALID_ARG;
    RECT r;
    if (!SystemParametersInfoA(SPI_GETWORKAREA, 0, &r, 0)) return LastErrorOr(ZUN_E_NOT_FOUND);
    *area = {r.left, r.top, r.right, r.bottom};
    return 0;
}

bool IsWindowVisible(WindowHandle window) { return ::IsWindowVisible(ToHwnd(window)) != FALSE; }

bool IsWindowMinimized(WindowHandle window) { return IsIconic(ToHwnd(window)) != FALSE; }

Status SetToolWindow(WindowHandle window, bool toolWindow) {
    LONG_PTR style = GetWindowLongPtrA(ToHwnd(window), GWL_EXSTYLE);
    style = toolWindow ? (style | WS_EX_TOOLWINDOW) : (style & ~static_cast<LONG_PTR>(WS_EX_TOOLWINDOW));
    SetLastError(0);
    if (SetWindowLongPtrA(ToHwnd(window), GWL_EXSTYLE, style) == 0 && GetLastError() != 0) return GetLastError();
    return 0;
}

bool IsToolWindow(WindowHandle window) {
    return (GetWindowLongPtrA(ToHwnd(window), GWL_EXSTYLE) & WS_EX_TOOLWINDOW) != 0;
}

Status SetCaption(WindowHandle window, const char* text) {
    return SetWindowTextA(ToHwnd(window), TextOrEmpty(text)) ? 0 : LastErrorOr(ZUN_E_NOT_FOUND);
}

Status GetCaption(WindowHandle window, char* buffer, size_t size) {
    if (buffer == nullptr || size == 0) return ZUN_E_BAD_TEXT_ARGUMENT;
    if (!IsWindow(window)) return ZUN_E_NOT_FOUND;
    GetWindowTextA(ToHwnd(window), buffer, static_cast<int>(size));
    return 0;
}

Status SetSmallIcon(WindowHandle window, int iconId) {
    HICON icon = LoadSmallIcon(iconId);
    if (icon == nullptr) return LastErrorOr(ZUN_E_NOT_FOUND);
    SendMessageA(ToHwnd(window), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
    return 0;
}

Status SetControlText(WindowHandle dialog, int controlId, const char* text) {
    HWND control = GetDlgItem(ToHwnd(dialog), controlId);
    if (control == nullptr) return ZUN_E_CONTROL_NOT_FOUND;
    return SetWindowTextA(control, TextOrEmpty(text)) ? 0 : LastErrorOr(ZUN_E_NOT_FOUND);
}

Status GetControlText(WindowHandle dialog, int controlId, char* buffer, size_t size) {
    if (buffer == nullptr || size == 0) return ZUN_E_BAD_TEXT_ARGUMENT;
    HWND control = GetDlgItem(ToHwnd(dialog), controlId);
    if (control == nullptr) return ZUN_E_CONTROL_NOT_FOUND;
    GetWindowTextA(control, buffer, static_cast<int>(size));
    return 0;
}

Status ShowControl(WindowHandle dialog, int controlId, bool show) {
    HWND control = GetDlgItem(ToHwnd(dialog), controlId);
    if (control == nullptr) return ZUN_E_CONTROL_NOT_FOUND;
    ShowWindow(control, show ? SW_SHOW : SW_HIDE);
    return 0;
}

bool IsControlVisible(WindowHandle dialog, int controlId) {
    HWND control = GetDlgItem(ToHwnd(dialog), controlId);
    return control != nullptr && (GetWindowLongA(control, GWL_STYLE) & WS_VISIBLE) != 0;
}

Status CreateStatusBar(WindowHandle dialog, WindowHandle* statusBar) {
    if (statusBar == nullptr) return ZUN_E_INVALID_ARG;
    InitCommonControls();
    HWND bar = CreateWindowExA(0, STATUSCLASSNAMEA, "", WS_CHILD | WS_VISIBLE | SBARS_TOOLTIPS, 0, 0, 0, 0,
                               ToHwnd(dialog), reinterpret_cast<HMENU>(1), Instance(), nullptr);
    if (bar == nullptr) return LastErrorOr(ZUN_E_NOT_FOUND);
    SetPropA(bar, kStatusBarProcProperty,
             reinterpret_cast<HANDLE>(
                 SetWindowLongPtrA(bar, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&StatusBarProc))));
    *statusBar = ToHandle(bar);
    return 0;
}

Status SetStatusBarParts(WindowHandle statusBar, const int32_t* rightEdges, int count) {
    if (rightEdges == nullptr || count <= 0 || count > 256) return ZUN_E_INVALID_ARG;
    INT edges[256];
    for (int i = 0; i < count; ++i) edges[i] = rightEdges[i];
    return SendMessageA(ToHwnd(statusBar), SB_SETPARTS, count, reinterpret_cast<LPARAM>(edges))
               ? 0
               : ZUN_E_INVALID_ARG;
}

Status SetStatusBarIcon(WindowHandle statusBar, int part, int iconId) {
    HICON icon = nullptr;
    if (iconId != 0) {
        icon = LoadSmallIcon(iconId);
        if (icon == nullptr) return LastErrorOr(ZUN_E_NOT_FOUND);
    }
    return SendMessageA(ToHwnd(statusBar), SB_SETICON, part, reinterpret_cast<LPARAM>(icon)) ? 0
                                                                                              : ZUN_E_NOT_FOUND;
}

int GetStatusBarIcon(WindowHandle statusBar, int part) {
    const auto icon = reinterpret_cast<HICON>(SendMessageA(ToHwnd(statusBar), SB_GETICON, part, 0));
    if (icon == nullptr) return 0;
    for (int id : {kZoneIcon, kRocketIcon, kLockIcon}) {
        if (LoadSmallIcon(id) == icon) return id;
    }
    return -1;
}

Status SetStatusBarText(WindowHandle statusBar, int part, const char* text) {
    return SendMessageA(ToHwnd(statusBar), SB_SETTEXTA, part, reinterpret_cast<LPARAM>(TextOrEmpty(text)))
               ? 0
               : ZUN_E_NOT_FOUND;
}

Status GetStatusBarText(WindowHandle statusBar, int part, char* buffer, size_t size) {
    if (buffer == nullptr || size == 0) return ZUN_E_BAD_TEXT_ARGUMENT;
    const LRESULT length = SendMessageA(ToHwnd(statusBar), SB_GETTEXTLENGTHA, part, 0);
    std::string text(LOWORD(length) + 1u, '\0');
    SendMessageA(ToHwnd(statusBar), SB_GETTEXTA, part, reinterpret_cast<LPARAM>(text.data()));
    return CopyText(buffer, size, text.c_str());
}

Status SetStatusBarTipText(WindowHandle statusBar, int part, const char* text) {
    SendMessageA(ToHwnd(statusBar), SB_SETTIPTEXTA, part, reinterpret_cast<LPARAM>(TextOrEmpty(text)));
    return 0;
}

Status GetStatusBarTipText(WindowHandle statusBar, int part, char* buffer, size_t size) {
    if (buffer == nullptr || size == 0 || size > 0xFFFF) return ZUN_E_BAD_TEXT_ARGUMENT;
    buffer[0] = '\0';
    SendMessageA(ToHwnd(statusBar), SB_GETTIPTEXTA, MAKEWPARAM(part, size), reinterpret_cast<LPARAM>(buffer));
    buffer[size - 1] = '\0';
    return 0;
}

Status GetStatusBarPartRect(WindowHandle statusBar, int part, Rect* rect) {
    if (rect == nullptr) return ZUN_E_INVALID_ARG;
    RECT r;
    if (!SendMessageA(ToHwnd(statusBar), SB_GETRECT, part, reinterpret_cast<LPARAM>(&r))) return ZUN_E_NOT_FOUND;
    *rect = {r.left, r.top, r.right, r.bottom};
    return 0;
}

Status CreateProgressBar(WindowHandle dialog, const Rect& rect, WindowHandle* progressBar) {
    if (progressBar == nullptr) return ZUN_E_INVALID_ARG;
    InitCommonControls();
    HWND bar = CreateWindowExA(0, PROGRESS_CLASSA, "", WS_CHILD | WS_VISIBLE, rect.left, rect.top, rect.Width(),
                               rect.Height(), ToHwnd(dialog), nullptr, Instance(), nullptr);
    if (bar == nullptr) return LastErrorOr(ZUN_E_NOT_FOUND);
    *progressBar = ToHandle(bar);
    return 0;
}

Status SetProgressPosition(WindowHandle progressBar, int32_t position) {
    if (!IsWindow(progressBar)) return ZUN_E_NOT_FOUND;
    SendMessageA(ToHwnd(progressBar), PBM_SETPOS, position, 0);
    return 0;
}

int32_t GetProgressPosition(WindowHandle progressBar) {
    return static_cast<int32_t>(SendMessageA(ToHwnd(progressBar), PBM_GETPOS, 0, 0));
}

int32_t GetVerticalScrollArrowHeight() { return GetSystemMetrics(SM_CYVSCROLL); }

Status InstallKeyboardHook(KeyFilter& filter) {
    tKeyFilter = &filter;
    if (tKeyboardHook != nullptr) return 0;
    tKeyboardHook = SetWindowsHookExA(WH_GETMESSAGE, KeyboardHookProc, nullptr, GetCurrentThreadId());
    return tKeyboardHook != nullptr ? 0 : LastErrorOr(ZUN_E_NOT_FOUND);
}

void RemoveKeyboardHook() {
    if (tKeyboardHook != nullptr) UnhookWindowsHookEx(tKeyboardHook);
    tKeyboardHook = nullptr;
    tKeyFilter = nullptr;
}

ModuleInstance GetModuleInstance() { return EngineModule(); }


}  // namespace zun::platform::ui
