// The wait page's side of the wizard dialog: the notices of the handshake's
// worker and of the page's buttons, the connection timer, and the
// connection-error question whose answer the worker waits for.
#include <atomic>

#include "base/bounded_text.h"
#include "base/trace.h"
#include "wizard/wait_dialog_notice.h"
#include "wizard/wizard_dialog.h"
#include "wizard/wizard_mode.h"

namespace zun {

namespace ui = platform::ui;
namespace sync = platform::sync;

namespace {

// Set by the first contacting notice and never cleared: the notice shows at
// most once while the engine stays loaded.
std::atomic<bool> gContactingNoticeShown{false};

constexpr char kContactingTop[] = "Contacting Orvella Servers...";
constexpr char kContactingBottom[] =
    "Please wait while we establish a secure connection to the Orvella Servers. Depending on the speed of your "
    "connection, this might take a moment.";

const WaitDialogNotice* NoticeRecord(intptr_t lParam) { return reinterpret_cast<const WaitDialogNotice*>(lParam); }

}  // namespace

intptr_t CWizardDialog::OnTimerEventFired(uintptr_t timerId) {
    ZUN_TRACE("ZUN: Prolog CWizardDialog::OnTimerEventFired()");
    // The contacting texts never replace an engine update's: they would hide
    // the update the shopper is waiting for.
    if (timerId == kConnectionTimerId && IsWaitMode(m_nWizardMode) && m_nWizardMode != WIZARDMODE_ENGINEAUTOUPDATE &&
        !gContactingNoticeShown.load()) {
        // The timer may run from the moment the window opens; a tick before
        // the page can show the texts leaves the notice to a later tick.
        if (!m_HTMLElementHandler.IsHookedUp()) return 0;
        HideWizard(false);
        m_nWizardMode = WIZARDMODE_CONTACTING;
        ShowWaitTexts(kContactingTop, kContactingBottom);
        gContactingNoticeShown.store(true);
    }
    return 0;
}

intptr_t CWizardDialog::OnWaitDialogNotice(uintptr_t kind, intptr_t lParam) {
    ZUN_TRACE("ZUN: Prolog CWizardDialog::OnWaitDialogNotice()");
    const int32_t modeAtEntry = m_nWizardMode;
    if (!IsWaitMode(modeAtEntry)) return 1;
    if (!m_HTMLElementHandler.IsHookedUp()) {
        if (kind == ENGINEAUTOUPDATE && lParam != 0) {
            const WaitDialogNotice* early = NoticeRecord(lParam);
            m_keptUpdateTop = TextOrEmpty(early->topText);
            m_keptUpdateBottom = TextOrEmpty(early->bottomText);
            m_bEngineUpdateKept = true;
        }
        return ZUN_E_NOT_FOUND;
    }

    // Kinds 0 to 2 carry a record on the sender's stack.
    const WaitDialogNotice* notice = kind <= DOWNLOADPROGRESS ? NoticeRecord(lParam) : nullptr;
    if (kind <= DOWNLOADPROGRESS && notice == nullptr) {
        ZUN_TRACE("ZUN_E: CWizardDialog::OnWaitDialogNotice(): notice %u without its record",
                  static_cast<unsigned>(kind));
        return 0;
    }
    switch (kind) {
    case ENGINEAUTOUPDATE:
        ZUN_TRACE("ZUN: CWizardDialog::OnWaitDialogNotice(): ENGINEAUTOUPDATE event");
        m_bEngineUpdateKept = false;
        ShowEngineUpdate(notice->topText, notice->bottomText);
        break;
    case CONNECTIONERROR:
        if (m_wndProgress != nullptr) OnDownloadComplete();
        ZUN_TRACE("ZUN: CWizardDialog::OnWaitDialogNotice(): CONNECTIONERROR event");
        m_nWizardMode = WIZARDMODE_CONNECTIONERROR;
        HideWizard(false);
        ShowWaitTexts(notice->topText, notice->bottomText);
        m_HTMLElementHandler.SetElementStyleAttribute("bRetry", "visibility", "visible");
        RememberConnectionErrorQuestion(notice->eventOrDone, notice->resultOrPhase);
        break;
    case DOWNLOADPROGRESS:
        ZUN_TRACE("ZUN: CWizardDialog::OnWaitDialogNotice(): DOWNLOADPROGRESS event");
        if (notice->resultOrPhase == kProgressBegin) {
            OnDownloadBegin();
        } else if (notice->resultOrPhase == kProgressComplete) {
            OnDownloadComplete();
        } else if (notice->resultOrPhase == kProgressUpdate) {
            if (m_wndProgress == nullptr) OnDownloadBegin();
            OnProgressChange(static_cast<int32_t>(notice->eventOrDone), static_cast<int32_t>(notice->total));
        }
        break;
    case CONNECTIONERROR_BTNCLK:
        ZUN_TRACE("ZUN: CWizardDialog::OnWaitDialogNotice(): CONNECTIONERROR_BTNCLK event");
        if (modeAtEntry == WIZARDMODE_CONNECTIONERROR && m_bConnectionErrorOpen) {
            AnswerConnectionErrorQuestion(static_cast<uint32_t>(lParam));
        } else if (modeAtEntry != WIZARDMODE_CONNECTIONERROR) {
            ui::SendWindowMessage(m_hWnd, ui::kMsgClose, 0, 0, nullptr);
        } else {
            ZUN_TRACE("ZUN: CWizardDialog::OnWaitDialogNotice(): Could not retrieve connection error callback data.");
        }
        break;
    default:
        break;
    }
    ZUN_TRACE("ZUN: Epilog CWizardDialog::OnWaitDialogNotice()");
    return 0;
}

void CWizardDialog::ShowWaitTexts(const char* topText, const char* bottomText) {
    m_HTMLElementHandler.SetElementInnerText("top_text", TextOrEmpty(topText));
    m_HTMLElementHandler.SetElementInnerText("bottom_text", TextOrEmpty(bottomText));
}

void CWizardDialog::ShowEngineUpdate(const char* topText, const char* bottomText) {
    m_nWizardMode = WIZARDMODE_ENGINEAUTOUPDATE;
    HideWizard(false);
    ShowWaitTexts(topText, bottomText);
    m_HTMLElementHandler.SetElementStyleAttribute("bRetry", "visibility", "hidden");
}

void CWizardDialog::ShowKeptEngineUpdate() {
    // Only while the dialog still waits: a question that came meanwhile
    // is newer than the update's texts.
    if (!m_bEngineUpdateKept || !IsWaitMode(m_nWizardMode) || m_nWizardMode == WIZARDMODE_CONNECTIONERROR) return;
    m_bEngineUpdateKept = false;
    ZUN_TRACE("ZUN: CWizardDialog::ShowKeptEngineUpdate(): the update notice came before the page; shown now");
    ShowEngineUpdate(m_keptUpdateTop.c_str(), m_keptUpdateBottom.c_str());
}

void CWizardDialog::RememberConnectionErrorQuestion(uintptr_t event, uintptr_t resultSlot) {
    // An older question still open would leave its sender waiting for ever:
    // it is released unanswered before the newer one takes its place.
    ReleaseConnectionErrorQuestion();
    m_hConnectionErrorEvent = reinterpret_cast<sync::EventHandle>(event);
    m_pConnectionErrorResult = reinterpret_cast<uint32_t*>(resultSlot);
    // A question without its event or slot cannot be answered.
    m_bConnectionErrorOpen = m_hConnectionErrorEvent != nullptr && m_pConnectionErrorResult != nullptr;
}

void CWizardDialog::AnswerConnectionErrorQuestion(uint32_t answer) {
    // The slot is written before the event is signalled: the sender reads it
    // only after its wait returns, and closes the event right after.
    *m_pConnectionErrorResult = answer;
    m_bConnectionErrorOpen = false;
    sync::SignalEvent(m_hConnectionErrorEvent);
}

void CWizardDialog::ReleaseConnectionErrorQuestion() {
    if (!m_bConnectionErrorOpen) return;
    m_bConnectionErrorOpen = false;
    sync::SignalEvent(m_hConnectionErrorEvent);
}

}  // namespace zun
