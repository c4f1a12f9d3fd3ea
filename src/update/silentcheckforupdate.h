// The silent check for a product update: one request to the store server,
// answered by a status, with no window of the engine.
#pragma once

#include "base/status.h"

namespace zun {

// ZUN_S_UPDATE_AVAILABLE when the store's reply says exactly "True",
// ZUN_S_NO_UPDATE for any other answer, ZUN_E_NOT_FOUND when the reply holds
// no answer, else the failure of the request or of the reply.
Status SilentCheckForUpdate(const char* vantorID, const char* skuRefNum, const char* pc, const char* trackingID);

}  // namespace zun
