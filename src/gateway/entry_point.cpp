// The engine's one way in.
#include <cinttypes>

#include "base/boundary.h"
#include "base/map_result.h"
#include "base/trace.h"
#include "gateway/engine_module_info.h"
#include "update/silentcheckforupdate.h"

namespace zun {
namespace {

constexpr size_t kPublisherIdSize = 50;

Status ServeCall(GatewayRecord& record) {
    switch (record.callType) {
        case ZUN_CALL_CHECK_FOR_UPDATE:
            return SilentCheckForUpdate(record.vantorID, record.skuRefNum, record.pc, record.trackingID);
        default:
            // Purchases arrive with the wizard parts of the engine.
            ZUN_TRACE("ZUN_E: EntryPoint(): call type %u is not served", record.callType);
            return ZUN_E_INVALID_REQUEST;
    }
}

}  // namespace
}  // namespace zun

extern "C" ZUN_EXPORT ZunStatus ZUN_CALL EntryPoint(GatewayRecord* iFace) {
    using namespace zun;
    GatewayRecord* _iFace = iFace;
    if (_iFace == nullptr || _iFace->size != sizeof(GatewayRecord)) return ZUN_E_INVALID_REQUEST;

    RefreshEngineModuleInfo();

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
