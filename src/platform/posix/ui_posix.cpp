// Headless window system: every window is an object with its geometry,
// styles and control state; every dialog has a message loop on the thread
// that runs it. Nothing is drawn: the browser window is the visible part.
// All window state lives behind one lock, and one condition wakes every
// waiting loop and sender, which keeps the cross-thread rules simple.
#include "platform/ui.h"
#include "platform/posix/window_placement.h"

#include <dlfcn.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "base/boundary.h"
#include "base/bounded_text.h"

namespace zun::platform::ui {
namespace {

using Clock = std::chrono::steady_clock;

enum class Kind { Dialog, Control, StatusBar, ProgressBar };

struct Pending {
    uint32_t message = 0;
    uintptr_t wParam = 0;
    intptr_t lParam = 0;
    std::function<void()> task;  // set for posted tasks
    intptr_t result = 0;
    bool done = false;
    bool failed = false;
};

struct Timer {
    uintptr_t id = 0;
    Clock::duration period{};
    Clock::time_point due{};
};

struct StatusPart {
    int32_t right = -1;
    int icon = 0;
    std::string text;
    std::string tip;
};

struct Window {
    uintptr_t id = 0;
    Kind kind = Kind::Dialog;
    uintptr_t parent = 0;
    int controlId = 0;
    std::thread::id thread;
    DialogHandler* handler = nullptr;
    Rect rect;
    bool visible = true;
    bool toolWindow = false;
    std::string text;
    int smallIcon = 0;
    std::vector<StatusPart> parts;
    int32_t position = 0;
    bool ending = false;
    intptr_t endCode = 0;
    std::deque<std::shared_ptr<Pending>> queue;
    std::vector<Timer> timers;
    std::shared_ptr<PlacementObserver> placementObserver;
    std::shared_ptr<ProgressObserver> progressObserver;
    std::shared_ptr<DialogPresenter> presenter;
};

// Dialog units to pixels for the dialogs' 8-point font.
constexpr int32_t DialogUnitsX(int32_t units) { return units * 6 / 4; }
constexpr int32_t DialogUnitsY(int32_t units) { return units * 13 / 8; }

// Frame around the client area of a dialog with a caption.
constexpr int32_t kFrameX = 6;
constexpr int32_t kFrameY = 29;
constexpr int32_t kStatusBarHeight = 22;
// How far a status bar pane's icon lies inside the pane.
constexpr int32_t kIconInset = 4;
constexpr Rect kDefaultWorkArea{0, 0, 1920, 1040};

struct ControlTemplate {
    int id;
    Rect units;
};

struct DialogTemplate {
    int id;
    int32_t width;
    int32_t height;
    std::vector<ControlTemplate> controls;
};

const DialogTemplate* FindTemplate(int templateId) {
    static const std::vector<DialogTemplate> templates = {
        {kWizardDialogTemplate, 326, 230, {{kBrowserControlId, {0, 0, 326, 216}}}},
        {kCertificateViewerTemplate, 330, 200, {{kBrowserControlId, {0, 0, 330, 200}}}},
        {kEasterEggDialogTemplate,
         235,
         83,
         {{1, {178, 62, 228, 76}},
          {203, {25, 7, 193, 19}},
          {209, {26, 19, 196, 31}},
          {211, {37, 44, 213, 56}},
          {210, {26, 32, 79, 44}},
          {206, {29, 43, 206, 57}}}},
    };
    for (const DialogTemplate& t : templates) {
        if (t.id == templateId) return &t;
    }
    return nullptr;
}

std::mutex gLock;
std::condition_variable gWake;
std::map<uintptr_t, std::shared_ptr<Window>> gWindows;
Rect gWorkArea = kDefaultWorkArea;
uintptr_t gNextId = 0x10010;

uintptr_t ToId(WindowHandle handle) { return reinterpret_cast<uintptr_t>(handle); }
WindowHandle ToHandle(uintptr_t id) { return reinterpret_cast<WindowHandle>(id); }

Window* Find(WindowHandle handle) {
    auto it = gWindows.find(ToId(handle));
    return it == gWindows.end() ? nullptr : it->second.get();
}

Window* FindChild(uintptr_t parent, int controlId) {
    for (auto& [id, window] : gWindows) {
        if (window->parent == parent && window->controlId == controlId && window->kind == Kind::Control) {
            return window.get();
        }
    }
    return nullptr;
}

Window& AddWindow(Kind kind, uintptr_t parent) {
    auto window = std::make_shared<Window>();
    window->id = gNextId;
    gNextId += 4;
    window->kind = kind;
    window->parent = parent;
    window->thread = std::this_thread::get_id();
    gWindows[window->id] = window;
    return *window;
}

// Removes a window with its children; pending sends to them fail. Tasks
// still queued for them are never run: they move to `dropped`, which the
// caller destroys once the lock is released, since a task's captures may
// call back into the window system.
void RemoveWindowLocked(uintptr_t id, std::vector<std::shared_ptr<Pending>>& dropped) {
    std::vector<uintptr_t> children;
    for (auto& [childId, child] : gWindows) {
        if (child->parent == id) children.push_back(childId);
    }
    for (uintptr_t child : children) RemoveWindowLocked(child, dropped);
    auto it = gWindows.find(id);
    if (it == gWindows.end()) return;
    for (auto& pending : it->second->queue) {
        pending->failed = true;
        dropped.push_back(std::move(pending));
    }
    gWindows.erase(it);
    gWake.notify_all();
}

// The dialog that receives messages addressed to `window`.
Window* DialogOf(Window* window) {
    while (window != nullptr && window->kind != Kind::Dialog) {
        auto it = gWindows.find(window->parent);
        window = it == gWindows.end() ? nullptr : it->second.get();
    }
    return window;
}

// Calls the handler of a message to `id` on the window's own thread, without
// the lock. Unhandled WM_CLOSE becomes IDCANCEL as in the system's dialogs.
intptr_t Dispatch(std::unique_lock<std::mutex>& lock, uintptr_t id, uint32_t message, uintptr_t wParam,
                  intptr_t lParam) {
    auto it = gWindows.find(id);
    if (it == gWindows.end()) return 0;
    Window* target = it->second.get();
    const bool statusBarMouse = target->kind == Kind::StatusBar &&
                                (message == kMsgLButtonDown || message == kMsgLButtonDoubleClick);
    Window* dialog = DialogOf(target);
    if (dialog == nullptr || dialog->handler == nullptr) return 0;
    if (target->kind != Kind::Dialog && !statusBarMouse) return 0;
    DialogHandler* handler = dialog->handler;
    const WindowHandle dialogHandle = ToHandle(dialog->id);
    lock.unlock();
    intptr_t result = 0;
    try {
        if (statusBarMouse) {
            handler->OnStatusBarMouse(dialogHandle, message, wParam, lParam);
        } else {
            bool handled = false;
            result = handler->OnMessage(dialogHandle, message, wParam, lParam, handled);
            if (!handled && message == kMsgClose) {
                handler->OnMessage(dialogHandle, kMsgCommand, static_cast<uintptr_t>(kIdCancel), 0, handled);
            }
        }
    }
    ZUN_CATCH_LOG()
    lock.lock();
    return result;
}

void RunTask(const std::function<void()>& task) {
    try {
        task();
    }
    ZUN_CATCH_LOG()
}

// Runs one queued call or one due timer of any window of this thread. Returns
// false when there was nothing to do; `nextDue` then tells when a timer is due.
bool RunOne(std::unique_lock<std::mutex>& lock, Clock::time_point* nextDue) {
    const auto self = std::this_thread::get_id();
    *nextDue = Clock::time_point::max();
    const auto now = Clock::now();
    for (auto& [id, window] : gWindows) {
        if (window->thread != self) continue;
        if (!window->queue.empty()) {
            std::shared_ptr<Pending> pending = window->queue.front();
            window->queue.pop_front();
            const uintptr_t windowId = id;
            if (pending->task) {
                lock.unlock();
                RunTask(pending->task);
                pending->task = nullptr;  // its captures go with the lock released
                lock.lock();
            } else {
                pending->result = Dispatch(lock, windowId, pending->message, pending->wParam, pending->lParam);
            }
            pending->done = true;
            gWake.notify_all();
            return true;
        }
        for (Timer& timer : window->timers) {
            if (timer.due <= now) {
                timer.due = now + timer.period;
                const uintptr_t windowId = id;
                const uintptr_t timerId = timer.id;
                Dispatch(lock, windowId, kMsgTimer, timerId, 0);
                return true;
            }
            *nextDue = std::min(*nextDue, timer.due);
        }
    }
    return false;
}

Status WithWindow(WindowHandle handle, const std::function<void(Window&)>& change) {
    std::lock_guard<std::mutex> lock(gLock);
    Window* window = Find(handle);
    if (window == nullptr) return ZUN_E_NOT_FOUND;
    change(*window);
    return 0;
}

bool InSight(const Rect& rect, const Rect& area) {
    return rect.Width() > 0 && rect.Height() > 0 && rect.right > area.left && rect.left < area.right &&
           rect.bottom > area.top && rect.top < area.bottom;
}

// Tells the window's placement observer, if it has one, where it is now.
void NotifyPlacement(WindowHandle handle) {
    std::shared_ptr<PlacementObserver> observer;
    Rect rect;
    bool inSight = false;
    {
        std::lock_guard<std::mutex> lock(gLock);
        Window* window = Find(handle);
        if (window == nullptr || !window->placementObserver) return;
        observer = window->placementObserver;
        rect = window->rect;
        inSight = InSight(rect, gWorkArea);
    }
    (*observer)(rect, inSight);
}

// Tells the progress observer of the dialog that `bar` belongs to what the
// bar shows now (-1: the bar is gone).
void NotifyProgress(uintptr_t dialogId, int32_t percent) {
    std::shared_ptr<ProgressObserver> observer;
    {
        std::lock_guard<std::mutex> lock(gLock);
        auto it = gWindows.find(dialogId);
        if (it == gWindows.end() || !it->second->progressObserver) return;
        observer = it->second->progressObserver;
    }
    (*observer)(percent);
}

// A change of a window's geometry, then the news to its observer.
Status ChangePlacement(WindowHandle handle, const std::function<void(Window&)>& change) {
    const Status status = WithWindow(handle, change);
    if (status == 0) NotifyPlacement(handle);
    return status;
}

Status CopyOut(const std::string& text, char* buffer, size_t size) {
    return CopyText(buffer, size, text.c_str());
}

StatusPart* PartOf(Window& bar, int part) {
    if (part < 0 || static_cast<size_t>(part) >= bar.parts.size()) return nullptr;
    return &bar.parts[static_cast<size_t>(part)];
}

Status SetPartString(WindowHandle statusBar, int part, std::string StatusPart::*field, const char* text) {
    Status status = ZUN_E_NOT_FOUND;
    WithWindow(statusBar, [&](Window& bar) {
        if (StatusPart* target = PartOf(bar, part)) {
            target->*field = TextOrEmpty(text);
            status = 0;
        }
    });
    return status;
}

Status GetPartString(WindowHandle statusBar, int part, std::string StatusPart::*field, char* buffer,
                     size_t size) {
    std::string text;
    Status status = ZUN_E_NOT_FOUND;
    WithWindow(statusBar, [&](Window& bar) {
        if (StatusPart* target = PartOf(bar, part)) {
            text = target->*field;
            status = 0;
        }
    });
    return status != 0 ? status : CopyOut(text, buffer, size);
}

}  // namespace

Status RunModalDialog(int templateId, WindowHandle owner, DialogHandler& handler, intptr_t initParam,
                      intptr_t* code) {
    const DialogTemplate* dialogTemplate = FindTemplate(templateId);
    if (dialogTemplate == nullptr) return ZUN_E_NOT_FOUND;
    std::vector<std::shared_ptr<Pending>> dropped;  // destroyed after the lock is released
    std::unique_lock<std::mutex> lock(gLock);
    Window& dialog = AddWindow(Kind::Dialog, 0);
    const uintptr_t dialogId = dialog.id;
    dialog.handler = &handler;
    dialog.rect = {0, 0, DialogUnitsX(dialogTemplate->width) + kFrameX,
                   DialogUnitsY(dialogTemplate->height) + kFrameY};
    for (const ControlTemplate& control : dialogTemplate->controls) {
        Window& child = AddWindow(Kind::Control, dialogId);
        child.controlId = control.id;
        child.rect = {DialogUnitsX(control.units.left), DialogUnitsY(control.units.top),
                      DialogUnitsX(control.units.right), DialogUnitsY(control.units.bottom)};
    }
    // Headless windows have no z-order; owners matter for centring, and for
    // showing a dialog that has no browser of its own.
    std::shared_ptr<DialogPresenter> presenter;
    const bool ownBrowser = std::any_of(dialogTemplate->controls.begin(), dialogTemplate->controls.end(),
                                        [](const ControlTemplate& control) { return control.id == kBrowserControlId; });
    if (Window* ownerWindow = owner == nullptr ? nullptr : Find(owner); ownerWindow != nullptr && !ownBrowser) {
        presenter = ownerWindow->presenter;
    }
    lock.unlock();
    CenterWindow(ToHandle(dialogId), owner);
    lock.lock();
    Dispatch(lock, dialogId, kMsgInitDialog, 0, initParam);
    // Presented from inside the dialog's own loop, as its first task.
    if (auto shown = gWindows.find(dialogId); presenter && shown != gWindows.end()) {
        auto pending = std::make_shared<Pending>();
        pending->task = [presenter, dialogHandle = ToHandle(dialogId)] { (*presenter)(dialogHandle); };
        shown->second->queue.push_back(std::move(pending));
    }
    while (true) {
        auto it = gWindows.find(dialogId);
        if (it == gWindows.end() || it->second->ending) break;
        Clock::time_point nextDue;
        if (RunOne(lock, &nextDue)) continue;
        if (nextDue == Clock::time_point::max()) {
            gWake.wait(lock);
        } else {
            gWake.wait_until(lock, nextDue);
        }
    }
    auto it = gWindows.find(dialogId);
    const intptr_t endCode = it == gWindows.end() ? -1 : it->second->endCode;
    if (it != gWindows.end()) {
        Dispatch(lock, dialogId, kMsgDestroy, 0, 0);
        it = gWindows.find(dialogId);
        if (it != gWindows.end()) it->second->handler = nullptr;
        RemoveWindowLocked(dialogId, dropped);
    }
    if (code != nullptr) *code = endCode;
    return 0;
}

void EndDialog(WindowHandle dialog, intptr_t code) {
    WithWindow(dialog, [code](Window& window) {
        if (window.kind != Kind::Dialog || window.ending) return;
        window.ending = true;
        window.endCode = code;
        gWake.notify_all();
    });
}

bool IsWindow(WindowHandle window) {
    std::lock_guard<std::mutex> lock(gLock);
    return window != nullptr && Find(window) != nullptr;
}

WindowHandle GetActiveWindow() {
    std::lock_guard<std::mutex> lock(gLock);
    WindowHandle active = nullptr;
    for (auto& [id, window] : gWindows) {
        if (window->kind == Kind::Dialog && window->thread == std::this_thread::get_id() && window->visible) {
            active = ToHandle(id);  // the newest dialog of the thread is on top
        }
    }
    return active;
}

WindowHandle GetDialogItem(WindowHandle dialog, int controlId) {
    std::lock_guard<std::mutex> lock(gLock);
    Window* child = FindChild(ToId(dialog), controlId);
    return child == nullptr ? nullptr : ToHandle(child->id);
}

Status DestroyWindow(WindowHandle window) {
    std::vector<std::shared_ptr<Pending>> dropped;  // destroyed after the lock is released
    std::unique_lock<std::mutex> lock(gLock);
    Window* target = Find(window);
    if (target == nullptr) return ZUN_E_NOT_FOUND;
    if (target->kind == Kind::Dialog) {
        target->ending = true;
        target->endCode = 0;
        gWake.notify_all();
        return 0;
    }
    const bool progressBar = target->kind == Kind::ProgressBar;
    const uintptr_t parent = target->parent;
    RemoveWindowLocked(target->id, dropped);
    lock.unlock();
    if (progressBar) NotifyProgress(parent, -1);
    return 0;
}

Status SendWindowMessage(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam,
                         intptr_t* result) {
    std::unique_lock<std::mutex> lock(gLock);
    Window* target = Find(window);
    if (target == nullptr) return ZUN_E_NOT_FOUND;
    intptr_t value = 0;
    if (target->thread == std::this_thread::get_id()) {
        value = Dispatch(lock, target->id, message, wParam, lParam);
    } else {
        auto pending = std::make_shared<Pending>();
        pending->message = message;
        pending->wParam = wParam;
        pending->lParam = lParam;
        target->queue.push_back(pending);
        gWake.notify_all();
        gWake.wait(lock, [&] { return pending->done || pending->failed; });
        if (!pending->done) return ZUN_E_NOT_FOUND;
        value = pending->result;
    }
    if (result != nullptr) *result = value;
    return 0;
}

bool PostWindowTask(WindowHandle window, std::function<void()> task) {
    std::lock_guard<std::mutex> lock(gLock);
    Window* target = Find(window);
    if (target == nullptr || !task) return false;
    auto pending = std::make_shared<Pending>();
    pending->task = std::move(task);
    target->queue.push_back(std::move(pending));
    gWake.notify_all();
    return true;
}

Status SetWindowTimer(WindowHandle window, uintptr_t id, uint32_t periodMs) {
    return WithWindow(window, [id, periodMs](Window& target) {
        const auto period = std::chrono::milliseconds(std::max<uint32_t>(periodMs, 10));
        auto it = std::find_if(target.timers.begin(), target.timers.end(),
                               [id](const Timer& timer) { return timer.id == id; });
        if (it == target.timers.end()) it = target.timers.insert(target.timers.end(), Timer{id, {}, {}});
        it->period = period;
        it->due = Clock::now() + period;
        gWake.notify_all();
    });
}

Status KillWindowTimer(WindowHandle window, uintptr_t id) {
    return WithWindow(window, [id](Window& target) {
        std::erase_if(target.timers, [id](const Timer& timer) { return timer.id == id; });
    });
}

Status GetWindowRect(WindowHandle window, Rect* rect) {
    if (rect == nullptr) return ZUN_E_INVALID_ARG;
    return WithWindow(window, [rect](Window& target) { *rect = target.rect; });
}

Status GetClientRect(WindowHandle window, Rect* rect) {
    if (rect == nullptr) return ZUN_E_INVALID_ARG;
    return WithWindow(window, [rect](Window& target) {
        const bool framed = target.kind == Kind::Dialog;
        *rect = {0, 0, std::max(0, target.rect.Width() - (framed ? kFrameX : 0)),
                 std::max(0, target.rect.Height() - (framed ? kFrameY : 0))};
    });
}

Status SetWindowSize(WindowHandle window, int32_t width, int32_t height) {
    return ChangePlacement(window, [width, height](Window& target) {
        target.rect.right = target.rect.left + std::max(0, width);
        target.rect.bottom = target.rect.top + std::max(0, height);
    });
}

Status SetWindowBounds(WindowHandle window, const Rect& rect) {
    return ChangePlacement(window, [&rect](Window& target) { target.rect = rect; });
}

Status CenterWindow(WindowHandle window, WindowHandle on) {
    {
        std::lock_guard<std::mutex> lock(gLock);
        Window* target = Find(window);
        if (target == nullptr) return ZUN_E_NOT_FOUND;
        const Rect area = gWorkArea;
        Rect around = area;
        if (Window* anchor = on == nullptr ? nullptr : Find(on)) around = anchor->rect;
        const int32_t width = target->rect.Width();
        const int32_t height = target->rect.Height();
        int32_t left = around.left + (around.Width() - width) / 2;
        int32_t top = around.top + (around.Height() - height) / 2;
        left = std::max(area.left, std::min(left, area.right - width));
        top = std::max(area.top, std::min(top, area.bottom - height));
        target->rect = {left, top, left + width, top + height};
    }
    NotifyPlacement(window);
    return 0;
}

Status GetWorkArea(Rect* area) {
    if (area == nullptr) return ZUN_E_INVALID_ARG;
    std::lock_guard<std::mutex> lock(gLock);
    *area = gWorkArea;
    return 0;
}

void SetWorkArea(const Rect& area) {
    if (area.Width() <= 0 || area.Height() <= 0) return;
    std::lock_guard<std::mutex> lock(gLock);
    gWorkArea = area;
}

bool IsWindowVisible(WindowHandle window) {
    std::lock_guard<std::mutex> lock(gLock);
    Window* target = Find(window);
    return target != nullptr && target->visible && target->rect.Width() > 0 && target->rect.Height() > 0;
}

bool IsWindowMinimized(WindowHandle) { return false; }

Status ObserveWindowPlacement(WindowHandle dialog, PlacementObserver observer) {
    const bool observed = static_cast<bool>(observer);
    const Status status = WithWindow(dialog, [&observer](Window& target) {
        target.placementObserver =
            observer ? std::make_shared<PlacementObserver>(std::move(observer)) : nullptr;
    });
    if (status == 0 && observed) NotifyPlacement(dialog);
    return status;
}

Status SetToolWindow(WindowHandle window, bool toolWindow) {
    return WithWindow(window, [toolWindow](Window& target) { target.toolWindow = toolWindow; });
}

bool IsToolWindow(WindowHandle window) {
    std::lock_guard<std::mutex> lock(gLock);
    Window* target = Find(window);
    return target != nullptr && target->toolWindow;
}

Status SetCaption(WindowHandle window, const char* text) {
    return WithWindow(window, [text](Window& target) { target.text = TextOrEmpty(text); });
}

Status GetCaption(WindowHandle window, char* buffer, size_t size) {
    std::string text;
    const Status status = WithWindow(window, [&text](Window& target) { text = target.text; });
    return status != 0 ? status : CopyOut(text, buffer, size);
}

Status SetSmallIcon(WindowHandle window, int iconId) {
    return WithWindow(window, [iconId](Window& target) { target.smallIcon = iconId; });
}

Status SetControlText(WindowHandle dialog, int controlId, const char* text) {
    std::lock_guard<std::mutex> lock(gLock);
    Window* control = FindChild(ToId(dialog), controlId);
    if (control == nullptr) return ZUN_E_CONTROL_NOT_FOUND;
    control->text = TextOrEmpty(text);
    return 0;
}

Status GetControlText(WindowHandle dialog, int controlId, char* buffer, size_t size) {
    std::string text;
    {
        std::lock_guard<std::mutex> lock(gLock);
        Window* control = FindChild(ToId(dialog), controlId);
        if (control == nullptr) return ZUN_E_CONTROL_NOT_FOUND;
        text = control->text;
    }
    return CopyOut(text, buffer, size);
}

Status ShowControl(WindowHandle dialog, int controlId, bool show) {
    std::lock_guard<std::mutex> lock(gLock);
    Window* control = FindChild(ToId(dialog), controlId);
    if (control == nullptr) return ZUN_E_CONTROL_NOT_FOUND;
    control->visible = show;
    return 0;
}

bool IsControlVisible(WindowHandle dialog, int controlId) {
    std::lock_guard<std::mutex> lock(gLock);
    Window* control = FindChild(ToId(dialog), controlId);
    return control != nullptr && control->visible;
}

Status CreateStatusBar(WindowHandle dialog, WindowHandle* statusBar) {
    if (statusBar == nullptr) return ZUN_E_INVALID_ARG;
    std::lock_guard<std::mutex> lock(gLock);
    Window* parent = Find(dialog);
    if (parent == nullptr || parent->kind != Kind::Dialog) return ZUN_E_NOT_FOUND;
    const int32_t width = parent->rect.Width() - kFrameX;
    const int32_t height = parent->rect.Height() - kFrameY;
    Window& bar = AddWindow(Kind::StatusBar, parent->id);
    bar.rect = {0, height - kStatusBarHeight, width, height};
    bar.parts.push_back(StatusPart{});
    *statusBar = ToHandle(bar.id);
    return 0;
}

Status SetStatusBarParts(WindowHandle statusBar, const int32_t* rightEdges, int count) {
    if (rightEdges == nullptr || count <= 0 || count > 256) return ZUN_E_INVALID_ARG;
    return WithWindow(statusBar, [rightEdges, count](Window& bar) {
        bar.parts.resize(static_cast<size_t>(count));
        for (int i = 0; i < count; ++i) bar.parts[static_cast<size_t>(i)].right = rightEdges[i];
    });
}

Status SetStatusBarIcon(WindowHandle statusBar, int part, int iconId) {
    Status status = ZUN_E_NOT_FOUND;
    WithWindow(statusBar, [&](Window& bar) {
        if (StatusPart* target = PartOf(bar, part)) {
            target->icon = iconId;
            status = 0;
        }
    });
    return status;
}

int GetStatusBarIcon(WindowHandle statusBar, int part) {
    int icon = 0;
    WithWindow(statusBar, [&](Window& bar) {
        if (StatusPart* target = PartOf(bar, part)) icon = target->icon;
    });
    return icon;
}

Status SetStatusBarText(WindowHandle statusBar, int part, const char* text) {
    return SetPartString(statusBar, part, &StatusPart::text, text);
}

Status GetStatusBarText(WindowHandle statusBar, int part, char* buffer, size_t size) {
    return GetPartString(statusBar, part, &StatusPart::text, buffer, size);
}

Status SetStatusBarTipText(WindowHandle statusBar, int part, const char* text) {
    return SetPartString(statusBar, part, &StatusPart::tip, text);
}

Status GetStatusBarTipText(WindowHandle statusBar, int part, char* buffer, size_t size) {
    return GetPartString(statusBar, part, &StatusPart::tip, buffer, size);
}

Status GetStatusBarPartRect(WindowHandle statusBar, int part, Rect* rect) {
    if (rect == nullptr) return ZUN_E_INVALID_ARG;
    Status status = ZUN_E_NOT_FOUND;
    WithWindow(statusBar, [&](Window& bar) {
        if (PartOf(bar, part) == nullptr) return;
        const size_t index = static_cast<size_t>(part);
        const int32_t left = index == 0 ? 0 : bar.parts[index - 1].right;
        const int32_t right = bar.parts[index].right < 0 ? bar.rect.Width() : bar.parts[index].right;
        *rect = {left, 2, right, bar.rect.Height()};
        status = 0;
    });
    return status;
}

Status PresentDialogsOf(WindowHandle owner, DialogPresenter presenter) {
    return WithWindow(owner, [&presenter](Window& target) {
        target.presenter = presenter ? std::make_shared<DialogPresenter>(std::move(presenter)) : nullptr;
    });
}

std::string DialogText(WindowHandle dialog) {
    std::lock_guard<std::mutex> lock(gLock);
    Window* target = Find(dialog);
    if (target == nullptr) return std::string();
    std::string text = target->text;
    for (auto& [id, window] : gWindows) {
        if (window->parent != target->id || window->kind != Kind::Control || !window->visible ||
            window->text.empty() || window->controlId == kIdOk || window->controlId == kIdCancel) {
            continue;
        }
        text += "\n" + window->text;
    }
    return text;
}

Status ClickStatusBarIcon(WindowHandle dialog, int iconId, bool doubleClick, uintptr_t keys) {
    WindowHandle statusBar = nullptr;
    intptr_t position = 0;
    {
        std::lock_guard<std::mutex> lock(gLock);
        for (auto& [id, window] : gWindows) {
            if (window->kind != Kind::StatusBar || window->parent != ToId(dialog)) continue;
            for (size_t part = 0; part < window->parts.size() && statusBar == nullptr; ++part) {
                if (iconId == 0 || window->parts[part].icon != iconId) continue;
                // A few pixels into the pane, where its icon is drawn.
                const int32_t left = part == 0 ? 0 : window->parts[part - 1].right;
                position = static_cast<intptr_t>(((kIconInset + 2) << 16) | ((left + kIconInset) & 0xFFFF));
                statusBar = ToHandle(id);
            }
        }
    }
    if (statusBar == nullptr) return ZUN_E_NOT_FOUND;
    return SendWindowMessage(statusBar, doubleClick ? kMsgLButtonDoubleClick : kMsgLButtonDown, keys, position,
                             nullptr);
}

Status CreateProgressBar(WindowHandle dialog, const Rect& rect, WindowHandle* progressBar) {
    if (progressBar == nullptr) return ZUN_E_INVALID_ARG;
    std::unique_lock<std::mutex> lock(gLock);
    Window* parent = Find(dialog);
    if (parent == nullptr || parent->kind != Kind::Dialog) return ZUN_E_NOT_FOUND;
    const uintptr_t dialogId = parent->id;
    {
        Window& bar = AddWindow(Kind::ProgressBar, dialogId);
        bar.rect = rect;
        *progressBar = ToHandle(bar.id);
    }
    lock.unlock();
    NotifyProgress(dialogId, 0);
    return 0;
}

Status SetProgressPosition(WindowHandle progressBar, int32_t position) {
    uintptr_t dialogId = 0;
    int32_t shown = 0;
    const Status status = WithWindow(progressBar, [&](Window& bar) {
        bar.position = std::max(0, std::min(position, 100));
        dialogId = bar.parent;
        shown = bar.position;
    });
    if (status == 0) NotifyProgress(dialogId, shown);
    return status;
}

Status ObserveProgress(WindowHandle dialog, ProgressObserver observer) {
    return WithWindow(dialog, [&observer](Window& target) {
        target.progressObserver = observer ? std::make_shared<ProgressObserver>(std::move(observer)) : nullptr;
    });
}

int32_t GetProgressPosition(WindowHandle progressBar) {
    int32_t position = 0;
    WithWindow(progressBar, [&position](Window& bar) { position = bar.position; });
    return position;
}

int32_t GetVerticalScrollArrowHeight() { return 17; }

Status InstallKeyboardHook(KeyFilter&) {
    // Keys reach the headless dialogs only through the browser window, which
    // handles them itself: there is nothing to filter.
    return 0;
}

void RemoveKeyboardHook() {}

ModuleInstance GetModuleInstance() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&GetModuleInstance), &info) == 0) return nullptr;
    return info.dli_fbase;
}

}  // namespace zun::platform::ui
