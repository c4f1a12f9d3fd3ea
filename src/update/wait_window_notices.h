// What the handshake's worker tells the wait window, and the answers it gets
// back: download progress, the connecting timer, connection errors with
// Retry and Cancel, and the closing of the window. These are the callbacks
// of the handshake's session; they run on the worker.
#pragma once

#include <chrono>
#include <cstdint>

#include "base/status.h"
#include "update/wait_window_host.h"

namespace zun {

// A handshake that ends this soon after the wait window started keeps the
// window a moment longer, so that it does not flash.
inline constexpr std::chrono::milliseconds kQuickHandshake{2000};
inline constexpr std::chrono::milliseconds kCloseGrace{1000};

// How long a connection error waits for the wait window to open and its
// page to get ready; after this the worker takes the answer it gets with no
// window at all.
inline constexpr std::chrono::milliseconds kConnectionErrorOfferLimit{30000};
inline constexpr std::chrono::milliseconds kConnectionErrorOfferInterval{10};

// The wait window the notices go to and the time it started; set by the
// calling thread before the worker starts.
void BeginWaitWindowNotices(WaitWindowHost& host);
// Called once the wait window has closed: a question no longer waits for it.
void EndWaitWindowNotices();
void MarkWaitWizardStart();

uint32_t OnDownloadProgressEvent(uint32_t contentLength, uint32_t bytesSoFar, uint32_t percent, uint32_t done);
// 4 (Retry), 2 (Cancel), or ZUN_E_NO_PROMPT_ANSWER when no wait window took
// the question or it went away unanswered.
uint32_t OnConnectionErrorEvent(const char* caption, const char* message, uint32_t unused);
uint32_t OnConnectionTimerUpdate(uint32_t start, uint32_t unused);
// Tells the wait window about an engine download that starts now.
void SendEngineUpdateNotice();
void SendQuitMessageToProgressWindow();

}  // namespace zun
