#include "update/silentcheckforupdate.h"

#include "base/bounded_text.h"
#include "base/engine_heap.h"
#include "base/trace.h"
#include "net/inetblock.h"
#include "net/store_host.h"
#include "net/store_requests.h"
#include "state/cartstate.h"

namespace zun {

Status SilentCheckForUpdate(const char* vantorID, const char* skuRefNum, const char* pc, const char* trackingID) {
    ZUN_TRACE("ZUN: Prolog SilentCheckForUpdate()");
    if (const Status host = CheckStoreHost(); host != 0) {
        ZUN_TRACE("ZUN: Epilog SilentCheckForUpdate(): 0x%08X", host);
        return host;
    }
    char url[kRequestUrlSize];
    const Status built = BuildSilentCheckUrl(url, sizeof url, StoreHost(), vantorID, skuRefNum, pc, trackingID);
    if (built != 0) ZUN_TRACE("ZUN_E: SilentCheckForUpdate(): StringCbPrintf(): Error: %u", built);

    uint8_t* reply = nullptr;
    Status status = InetBlock::SimpleGET(url, &reply, nullptr, 1);
    if (status != 0 || reply == nullptr) {
        ZUN_TRACE("ZUN: SilentCheckForUpdate(): InetBlock::PageGET(): Error: %u", status);
        heap::Release(reply);
        if (status == 0) status = ZUN_E_NOT_FOUND;
        ZUN_TRACE("ZUN: Epilog SilentCheckForUpdate(): 0x%08X", status);
        return status;
    }

    CartState state;
    status = LoadReply(state, reply);
    if (status != 0) {
        ZUN_TRACE("ZUN_E: SilentCheckForUpdate(): CartState::SetCartState(): Error: 0x%08X", status);
    } else {
        char updateAvailable[kUpdateAvailableSize];
        if (state.GetValue("UPDATEAVAILABLE", updateAvailable, sizeof updateAvailable) != 0) {
            ZUN_TRACE("ZUN_E: SilentCheckForUpdate(): CartState::GetValue(UPDATEAVAILABLE): not found");
            status = ZUN_E_NOT_FOUND;
        } else {
            // The value may fill the buffer without a terminator.
            status = TextInBuffer(updateAvailable) == "True" ? ZUN_S_UPDATE_AVAILABLE : ZUN_S_NO_UPDATE;
        }
    }
    ZUN_TRACE("ZUN: Epilog SilentCheckForUpdate(): 0x%08X", status);
    return status;
}

}  // namespace zun
