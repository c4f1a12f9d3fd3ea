// The notices that drive the wait page: a window message sent synchronously
// to the running wizard window, wParam the kind, lParam the address of a
// WaitDialogNotice (kinds 0 to 2) or a plain value (kind 3).
//
// A CONNECTIONERROR notice asks a question whose answer comes back through a
// manual-reset event and a result slot: the sender creates the event and a
// slot holding 0xE4000011, sends the notice (again every 10 ms while the
// result, read as a signed 32-bit value, is negative), and when the send
// succeeded with a non-negative result waits for the event; the dialog
// signals it exactly once (answer or destruction); the sender closes the
// event after the wait returns; if the send fails because the window is gone,
// it does not wait. The receiving side is described in wizard/wizard_dialog.h.
#pragma once

#include <cstdint>

namespace zun {

inline constexpr uint32_t WM_WAITDIALOGNOTICE = 0xB267;

inline constexpr uintptr_t ENGINEAUTOUPDATE = 0;
inline constexpr uintptr_t CONNECTIONERROR = 1;
inline constexpr uintptr_t DOWNLOADPROGRESS = 2;
inline constexpr uintptr_t CONNECTIONERROR_BTNCLK = 3;

// Answers of the wait page's buttons (kind 3).
inline constexpr intptr_t kWaitAnswerRetry = 4;
inline constexpr intptr_t kWaitAnswerCancel = 2;

// The connecting timer the handshake keeps on the wait window around its
// network calls; the window receives its ticks as timer messages.
inline constexpr uintptr_t kConnectionTimerId = 0xDEADBEEF;
inline constexpr uint32_t kConnectionTimerPeriodMs = 500;

// Phases of a DOWNLOADPROGRESS notice.
inline constexpr uint32_t kProgressBegin = 0;
inline constexpr uint32_t kProgressComplete = 1;
inline constexpr uint32_t kProgressUpdate = 2;

// Lives on the sender's stack; the receiver uses it only during the call.
struct WaitDialogNotice {
    const char* topText;
    const char* bottomText;
    uintptr_t eventOrDone;   // kind 1: the answer's event; kind 2: bytes done
    uint32_t total;          // kind 2: total bytes
    uintptr_t resultOrPhase; // kind 1: address of the result slot; kind 2: the phase
};

}  // namespace zun
