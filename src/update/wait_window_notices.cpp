#include "update/wait_window_notices.h"

#include <atomic>
#include <mutex>
#include <thread>

#include "base/trace.h"
#include "platform/sync.h"
#include "wizard/wait_dialog_notice.h"

namespace zun {
namespace {

namespace ui = platform::ui;
namespace sync = platform::sync;
using Clock = std::chrono::steady_clock;

constexpr char kUpdateTopText[] = "Updating Orvella Software...";
constexpr char kUpdateBottomText[] =
    "Please wait while we update Orvella Software. Depending on the speed of your connection, this might take a "
    "moment.";

// Process-wide state of the handshake. One handshake runs at a time; the
// host is set before its worker starts and read only by that worker.
struct HandshakeNotices {
    // Serialises the worker's progress and connection-error notices.
    std::mutex lock;
    WaitWindowHost* host = nullptr;
    // Set once the calling thread's wait window has closed for good.
    std::atomic<bool> waitEnded{false};
    std::atomic<Clock::rep> waitStart{0};
    std::atomic<Clock::rep> timerStart{0};
};

HandshakeNotices& Notices() {
    static HandshakeNotices notices;
    return notices;
}

ui::WindowHandle WaitWindow() {
    WaitWindowHost* host = Notices().host;
    return host != nullptr ? host->GetRunningWizardHWND() : nullptr;
}

Clock::rep Now() { return Clock::now().time_since_epoch().count(); }

long long MillisecondsSince(Clock::rep start) {
    const Clock::duration elapsed(Now() - start);
    return std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count();
}

Status SendNotice(ui::WindowHandle window, uintptr_t kind, WaitDialogNotice& notice, intptr_t* result) {
    return ui::SendWindowMessage(window, WM_WAITDIALOGNOTICE, kind, reinterpret_cast<intptr_t>(&notice), result);
}

// The wait window once it exists. A connection that is refused at once, or
// an update query answered at once, can end before the calling thread has
// opened the window; the notice then waits for it, until the window has come
// and gone or giveUp passes.
ui::WindowHandle AwaitWaitWindow(Clock::time_point giveUp) {
    for (;;) {
        const ui::WindowHandle window = WaitWindow();
        if (window != nullptr || Notices().waitEnded.load() || Clock::now() >= giveUp) return window;
        std::this_thread::sleep_for(kConnectionErrorOfferInterval);
    }
}

// Offers the question until the page takes it. A page that is not ready
// answers with a negative value; one that never gets ready is given up
// after kConnectionErrorOfferLimit so that the worker cannot spin forever
// behind a hidden window. True when the page took it.
bool OfferConnectionError(ui::WindowHandle window, WaitDialogNotice& notice, Clock::time_point giveUp) {
    for (;;) {
        intptr_t answer = 0;
        const Status sent = SendNotice(window, CONNECTIONERROR, notice, &answer);
        if (sent != 0) {
            ZUN_TRACE("ZUN_E: OnConnectionErrorEvent(): SendMessage(): Failure 0x%08X", sent);
            return false;
        }
        if (static_cast<int32_t>(answer) >= 0) return true;
        if (Clock::now() >= giveUp) {
            ZUN_TRACE("ZUN_E: OnConnectionErrorEvent(): The wait page did not take the notice within %lld ms.",
                      static_cast<long long>(kConnectionErrorOfferLimit.count()));
            return false;
        }
        std::this_thread::sleep_for(kConnectionErrorOfferInterval);
    }
}

}  // namespace

void BeginWaitWindowNotices(WaitWindowHost& host) {
    Notices().host = &host;
    Notices().waitEnded.store(false);
}

void EndWaitWindowNotices() { Notices().waitEnded.store(true); }

void MarkWaitWizardStart() { Notices().waitStart.store(Now()); }

uint32_t OnDownloadProgressEvent(uint32_t contentLength, uint32_t bytesSoFar, uint32_t percent, uint32_t) {
    std::lock_guard<std::mutex> guard(Notices().lock);
    ZUN_TRACE("ZUN: OnDownloadProgressEvent(): contentLength=%u, bytesSoFar=%u, percent=%u", contentLength,
              bytesSoFar, percent);
    const ui::WindowHandle window = WaitWindow();
    if (window != nullptr) {
        WaitDialogNotice notice{};
        notice.eventOrDone = bytesSoFar;
        notice.total = contentLength;
        notice.resultOrPhase = kProgressUpdate;
        SendNotice(window, DOWNLOADPROGRESS, notice, nullptr);
    }
    return 0;
}

uint32_t OnConnectionTimerUpdate(uint32_t start, uint32_t) {
    WaitWindowHost* host = Notices().host;
    if (host == nullptr) return 0;
    if (start != 0) {
        Notices().timerStart.store(Now());
        host->SetConnectionTimer(true);
    } else {
        ZUN_TRACE("ZUN: OnConnectionTimerUpdate(): Timer ran for %lld ms.",
                  MillisecondsSince(Notices().timerStart.load()));
        host->SetConnectionTimer(false);
    }
    return 0;
}

uint32_t OnConnectionErrorEvent(const char* caption, const char* message, uint32_t) {
    ZUN_TRACE("ZUN: Prolog OnConnectionErrorEvent()");
    std::lock_guard<std::mutex> guard(Notices().lock);
    // Written by the wait page before it signals the event; read after the wait.
    uint32_t result = ZUN_E_NO_PROMPT_ANSWER;
    const Clock::time_point giveUp = Clock::now() + kConnectionErrorOfferLimit;
    const ui::WindowHandle window = AwaitWaitWindow(giveUp);
    if (window == nullptr) {
        ZUN_TRACE("ZUN: OnConnectionErrorEvent(): No wait window to ask.");
    } else {
        sync::ManualResetEvent answered;
        const Status created = answered.Create();
        if (created != 0) {
            ZUN_TRACE("ZUN_E: OnConnectionErrorEvent(): CreateEvent(): Failure 0x%08X", created);
        } else {
            WaitDialogNotice notice{};
            notice.topText = caption;
            notice.bottomText = message;
            notice.eventOrDone = reinterpret_cast<uintptr_t>(answered.Get());
            notice.resultOrPhase = reinterpret_cast<uintptr_t>(&result);
            if (OfferConnectionError(window, notice, giveUp)) {
                ZUN_TRACE("ZUN: OnConnectionErrorEvent(): WaitForSingleObject() initiated...");
                // The page signals the event exactly once: when the user
                // answers, or when the window is destroyed unanswered.
                sync::WaitForEvent(answered.Get(), sync::kWaitWithoutLimit);
            }
        }
    }
    ZUN_TRACE("ZUN: Epilog OnConnectionErrorEvent(): %u", result);
    return result;
}

void SendEngineUpdateNotice() {
    // The update is told only once, and the update query can end before the
    // calling thread has opened the wait window: the notice waits for the
    // window as the connection-error question does, rather than be lost.
    const ui::WindowHandle window = AwaitWaitWindow(Clock::now() + kConnectionErrorOfferLimit);
    if (window == nullptr) return;
    WaitDialogNotice notice{};
    notice.topText = kUpdateTopText;
    notice.bottomText = kUpdateBottomText;
    SendNotice(window, ENGINEAUTOUPDATE, notice, nullptr);
}

void SendQuitMessageToProgressWindow() {
    ZUN_TRACE("ZUN: Prolog SendQuitMessageToProgressWindow()");
    WaitWindowHost* host = Notices().host;
    if (host == nullptr) return;
    if (host->GetRunningWizardHWND() != nullptr) {
        if (MillisecondsSince(Notices().waitStart.load()) < kQuickHandshake.count()) {
            std::this_thread::sleep_for(kCloseGrace);
        }
    } else {
        ZUN_TRACE("ZUN: SendQuitMessageToProgressWindow(): Window doesn't exist, no need to send quit...");
    }
    // Without a window this is a request that the wait window, when it
    // opens after all, closes at once.
    host->CloseRunningWizard();
    ZUN_TRACE("ZUN: Epilog SendQuitMessageToProgressWindow()");
}

}  // namespace zun
