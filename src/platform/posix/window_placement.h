// The headless window system's side of the browser window: a dialog's
// visible counterpart learns where the dialog is, whether it can be seen and
// what its progress bar shows, so that it can show it.
#pragma once

#include <functional>

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

// The work area of the screen the windows are shown on, as the browser reads
// it from the display; until then, and when headless, a screen of a common
// size. Dialogs are centred in it and kept inside it.
void SetWorkArea(const Rect& area);

}  // namespace zun::platform::ui
