// The engine's one way in.
#include <cinttypes>
#include <mutex>
#include <new>
#include <system_error>

#include "base/boundary.h"
#include "base/engine_heap.h"
#include "base/map_result.h"
#include "base/trace.h"
#include "gateway/engine_module_info.h"
#include "platform/browser.h"
#include "update/engineautoupdate.h"
#include "update/silentcheckforupdate.h"
#include "wizard/wizard_controller.h"

namespace zun {
namespace {

// The engine serves one call at a time: its engine-wide state (the module
// information, the store host, the saved purchase information, the wizard
// controller) belongs to the call that holds this lock. It is recursive, so
// that a call made on the same thread while another runs (from a window
// procedure during a wizard's modal loop) goes ahead instead of waiting for
// itself.
std::recursive_mutex g_engineCallLock;

// The handshake, then the purchase wizard. An engine update that the
// handshake downloaded ends the call at once with ZUN_E_ENGINE_UPDATED.
Status Purchase(GatewayRecord& record) {
    // A purchase called from inside a running wizard's modal loop would run
    // its handshake's worker against that wizard's window: refused before
    // anything of the running call is touched.
    if (TheWizardController().IsWizardRunning()) {
        ZUN_TRACE("ZUN_E: EntryPoint(): a purchase while a wizard of this engine runs is refused");
        return ZUN_E_WIZARD_RUNNING;
    }
    // The wait window and the wizard share one browser, which ends with
    // the call.
    const platform::browser::SharedBrowserScope oneBrowserForTheCall;
    record.interactive = 1;
    char* certificate = nullptr;
    Status status = DoInitialHandShake(&record, &certificate, TheWizardWaitWindow());
    // The store's certificate text lives for this call only.
    const heap::Block certificateBlob(reinterpret_cast<uint8_t*>(certificate));
    if (status == 0) {
        status = TheWizardController().RunPurchaseWizard(&record, record.callType == ZUN_CALL_PURCHASE,
                                                         certificate);
    }
    return status;
}

Status ServeCall(GatewayRecord& record) {
    RefreshEngineModuleInfo();
    switch (record.callType) {
        case ZUN_CALL_PURCHASE:
        case ZUN_CALL_PURCHASE_CFU:
            return Purchase(record);
        case ZUN_CALL_CHECK_FOR_UPDATE:
            return SilentCheckForUpdate(record.vantorID, record.skuRefNum, record.pc, record.trackingID);
        default:
            ZUN_TRACE("ZUN_E: EntryPoint(): call type %u is not served", record.callType);
            return ZUN_E_INVALID_REQUEST;
    }
}

}  // namespace
}  // namespace zun

extern "C" ZUN_EXPORT ZunStatus ZUN_CALL EntryPoint(GatewayRecord* iFace) {
    using namespace zun;
    std::unique_lock<std::recursive_mutex> oneCallAtATime(g_engineCallLock, std::defer_lock);
    try {
        oneCallAtATime.lock();
    } catch (const std::system_error& error) {
        // Only a nesting deeper than the lock can count fails here.
        ZUN_TRACE("ZUN_E: EntryPoint(): the engine's call lock: %s", error.what());
        return ZUN_E_UNEXPECTED;
    }
    GatewayRecord* _iFace = iFace;
    if (_iFace == nullptr || _iFace->size != sizeof(GatewayRecord)) return ZUN_E_INVALID_REQUEST;

    // The publisher identifier of this call. The record gets the caller's
    // own pointer back before returning, so it never points at this buffer
    // once the call is over.
    char publisherID[kPublisherIdSize] = {};
    char* const callerPublisherID = _iFace->publisherID;
    _iFace->updateFilePath[0] = '\0';
    if (_iFace->publisherID == nullptr || _iFace->callType == ZUN_CALL_PURCHASE ||
        _iFace->callType == ZUN_CALL_PURCHASE_CFU) {
        _iFace->publisherID = publisherID;
    }
    ZUN_TRACE("ZUN: CZunNV::CoStoreGateway(): &_iFace=0x%" PRIxPTR ", &iFace=0x%" PRIxPTR
              ", iFace->publisherID=0x%" PRIxPTR,
              reinterpret_cast<uintptr_t>(&_iFace), reinterpret_cast<uintptr_t>(&iFace),
              reinterpret_cast<uintptr_t>(publisherID));
    // Nothing may unwind into the caller; the record gets its own pointer
    // back either way.
    Status status;
    try {
        status = ServeCall(*_iFace);
    } catch (...) {
        status = TraceCaughtException(__FILE__, __LINE__, __func__);
    }
    _iFace->publisherID = callerPublisherID;
    return MapResult(status);
}
