// The wizard's keyboard hook. The browser control sits in a modal dialog,
// whose message loop would take Tab and the arrow keys for moving between
// dialog controls. A hook on the dialog's thread first lets the browser
// translate each key message and then swallows Tab, Backspace and the arrow
// keys, so they act in the page only.
//
// The state is process-wide, shared by every wizard dialog: the installed
// flag, the filter flags and the in-place object (the browser of the last
// dialog initialised). A second dialog on a thread whose hook is installed
// installs nothing; removing the hook clears the flags and forgets the
// in-place object, which never outlives the dialog whose browser it is.
#pragma once

#include <cstdint>

#include "base/status.h"
#include "platform/browser.h"

namespace zun::wizard_keyboard {

// Filter flags.
inline constexpr uint32_t kTranslateThroughBrowser = 2;
inline constexpr uint32_t kFilteringOn = 4;

void AddFilterFlags(uint32_t flags);
uint32_t FilterFlags();

void SetInPlaceObject(platform::browser::Browser* browser);
// Forgets the in-place object when it is `browser` (its dialog is going).
void ForgetInPlaceObject(platform::browser::Browser* browser);
platform::browser::Browser* InPlaceObject();

Status InstallKeyboardHook();
void RemoveKeyboardHook();
bool IsKeyboardHookInstalled();

// The hook's decision for one key message: true swallows it.
bool FilterKeyMessage(uint32_t message, uint32_t key);

}  // namespace zun::wizard_keyboard
