// The headless window system's side of the browser window: a dialog's
// visible counterpart learns where the dialog is, whether it can be seen and
// what its progress bar shows, so that it can show it.
#pragma once

#include <functional>
#include <string>

#include "platform/ui.h"

namespace zun::platform::ui {

// `rect` in screen coordinates; `inSight` is false while the dialog is
// hidden: no area, or entirely outside the work area (as a dialog moved to
// -1000,-1000 is).
using PlacementObserver = std::function<void(const Rect& rect, bool inSight)>;

// Calls `observer` with the dialog's placement now and after every change
// of it, on the thread that makes the change, without any window-system
// lock held. One observer per dialog; null removes it.
Status ObserveWindowPlacement(WindowHandle dialog, PlacementObserver observer);

// The position (0 to 100) of the dialog's progress bar; -1 when it has none.
using ProgressObserver = std::function<void(int32_t percent)>;

// Calls `observer` whenever the dialog's progress bar is made, moves or
// goes, on the thread that changes it, without any window-system lock held.
// One observer per dialog; null removes it.
Status ObserveProgress(WindowHandle dialog, ProgressObserver observer);

// What a person's key stands for on Linux, where the dialog's status bar is
// not drawn: a click (or double-click) with `keys` held on the icon `iconId`
// at the left of its pane in the dialog's status bar. ZUN_E_NOT_FOUND when no
// pane shows that icon.
Status ClickStatusBarIcon(WindowHandle dialog, int iconId, bool doubleClick, uintptr_t keys);

// Shows a modal dialog that has no browser of its own (the About box) to a
// person through the window of `owner`'s browser, and returns once the person
// has answered it.
using DialogPresenter = std::function<void(WindowHandle dialog)>;

// Dialogs run with `owner` as their owner are presented by `presenter` as
// soon as they are initialised. One presenter per owner; null removes it.
Status PresentDialogsOf(WindowHandle owner, DialogPresenter presenter);

// The dialog's caption and the texts of its shown controls but its buttons,
// one a line, as a message box shows them.
std::string DialogText(WindowHandle dialog);

// The work area of the screen the windows are shown on, as the browser reads
// it from the display; until then, and when headless, a screen of a common
// size. Dialogs are centred in it and kept inside it.
void SetWorkArea(const Rect& area);

}  // namespace zun::platform::ui
