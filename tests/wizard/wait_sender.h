// The test thread as the handshake's worker: it sends the wait notices to the
// running wizard window, and asks the connection-error question the way the
// real sender does.
#pragma once

#include <chrono>
#include <cstdint>
#include <thread>

#include "platform/sync.h"
#include "platform/ui.h"
#include "wizard/wait_dialog_notice.h"
#include "wizard/wizard_window_registry.h"

namespace zun::testing {

// The send's result as the sender reads it, or 1 when the send failed.
inline int32_t SendNotice(uintptr_t kind, intptr_t lParam) {
    intptr_t result = 0;
    if (platform::ui::SendWindowMessage(TheWizardWindowRegistry().RunningWizard(), WM_WAITDIALOGNOTICE, kind,
                                        lParam, &result) != 0) {
        return 1;
    }
    return static_cast<int32_t>(result);
}

inline int32_t SendNotice(uintptr_t kind, WaitDialogNotice notice) {
    return SendNotice(kind, reinterpret_cast<intptr_t>(&notice));
}

inline int32_t SendProgress(uint32_t done, uint32_t total, uintptr_t phase) {
    return SendNotice(DOWNLOADPROGRESS, WaitDialogNotice{nullptr, nullptr, done, total, phase});
}

// A question still unanswered when it is released.
inline constexpr uint32_t kNoAnswer = 0xE4000011u;

struct QuestionOutcome {
    bool sent = false;      // a send was taken with a non-negative result
    bool signalled = false;  // the event was signalled within the test's bound
    uint32_t answer = 0;
};

// Asks the connection-error question: repeats the notice every 10 ms while it
// is refused, then waits for the event and closes it. The wait is bounded
// here only so that a failing test cannot hang.
inline QuestionOutcome AskConnectionError(const char* topText, const char* bottomText,
                                          std::chrono::milliseconds limit = std::chrono::seconds(30)) {
    QuestionOutcome outcome;
    platform::sync::EventHandle event = nullptr;
    if (platform::sync::CreateManualResetEvent(&event) != 0) return outcome;
    auto* slot = new uint32_t(kNoAnswer);
    WaitDialogNotice notice{topText, bottomText, reinterpret_cast<uintptr_t>(event), 0,
                            reinterpret_cast<uintptr_t>(slot)};
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
        intptr_t result = 0;
        if (platform::ui::SendWindowMessage(TheWizardWindowRegistry().RunningWizard(), WM_WAITDIALOGNOTICE,
                                            CONNECTIONERROR, reinterpret_cast<intptr_t>(&notice), &result) != 0) {
            platform::sync::CloseEvent(event);
            outcome.answer = *slot;
            delete slot;
            return outcome;  // the window is gone: nothing to wait for
        }
        if (static_cast<int32_t>(result) >= 0) {
            outcome.sent = true;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (outcome.sent) outcome.signalled = platform::sync::WaitForEvent(event, static_cast<uint32_t>(limit.count()));
    outcome.answer = *slot;
    // An event never signalled is left open, with its slot: a dialog that
    // still holds them must not reach freed ones (a failing test leaks them).
    if (outcome.signalled || !outcome.sent) {
        platform::sync::CloseEvent(event);
        delete slot;
    }
    return outcome;
}

}  // namespace zun::testing
