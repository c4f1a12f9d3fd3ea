#include "wizard/wizard_keyboard_hook.h"

#include <atomic>

#include "base/trace.h"
#include "platform/ui.h"

namespace zun::wizard_keyboard {
namespace {

namespace ui = platform::ui;

constexpr uint32_t kKeyBack = 0x08;
constexpr uint32_t kKeyTab = 0x09;
constexpr uint32_t kKeyLeft = 0x25;
constexpr uint32_t kKeyDown = 0x28;

std::atomic<bool> gInstalled{false};
std::atomic<uint32_t> gFilterFlags{0};
std::atomic<platform::browser::Browser*> gInPlaceObject{nullptr};

class WizardKeyFilter final : public ui::KeyFilter {
public:
    bool OnKeyMessage(uint32_t message, uint32_t key) override {
        // A hook is a boundary: nothing thrown may leave it.
        try {
            return FilterKeyMessage(message, key);
        } catch (...) {
            ZUN_TRACE("ZUN_E: CWizardDialog::KeyboardHookProc(): exception stopped");
            return false;
        }
    }
};

WizardKeyFilter gFilter;

}  // namespace

void AddFilterFlags(uint32_t flags) { gFilterFlags.fetch_or(flags); }
uint32_t FilterFlags() { return gFilterFlags.load(); }

void SetInPlaceObject(platform::browser::Browser* browser) { gInPlaceObject.store(browser); }

void ForgetInPlaceObject(platform::browser::Browser* browser) {
    gInPlaceObject.compare_exchange_strong(browser, nullptr);
}

platform::browser::Browser* InPlaceObject() { return gInPlaceObject.load(); }

Status InstallKeyboardHook() {
    if (gInstalled.load()) return 0;
    // On Linux the browser window takes its own keys: the port installs the
    // filter and nothing else. On Windows it is a message hook of this thread.
    const Status status = ui::InstallKeyboardHook(gFilter);
    if (status != 0) {
        ZUN_TRACE("ZUN_E: CWizardDialog::InstallKeyboardHook(): SetWindowsHookEx(): Error %u", status);
        return status;
    }
    gInstalled.store(true);
    return 0;
}

void RemoveKeyboardHook() {
    if (gInstalled.exchange(false)) ui::RemoveKeyboardHook();
    gFilterFlags.store(0);
    gInPlaceObject.store(nullptr);
}

bool IsKeyboardHookInstalled() { return gInstalled.load(); }

bool FilterKeyMessage(uint32_t message, uint32_t key) {
    const uint32_t flags = gFilterFlags.load();
    if ((flags & kFilteringOn) == 0) return false;
    if (message != ui::kMsgKeyDown && message != ui::kMsgKeyUp) return false;
    if ((flags & kTranslateThroughBrowser) != 0) {
        if (platform::browser::Browser* browser = gInPlaceObject.load()) browser->TranslateKey(message, key);
    }
    return key == kKeyTab || key == kKeyBack || (key >= kKeyLeft && key <= kKeyDown);
}

}  // namespace zun::wizard_keyboard
