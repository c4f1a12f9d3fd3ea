// The initial handshake of a purchase: on a worker thread behind the wait
// window, the store server is asked for a newer engine (downloaded into a
// temporary file, ending with ZUN_E_ENGINE_UPDATED) or else for the wizard's
// sizes, the publisher identifier and the store's certificate.
#pragma once

#include <zunserver/zunserver.h>

#include <cstddef>

#include "base/status.h"
#include "net/inetblock.h"
#include "update/wait_window_host.h"

namespace zun {

// The block the worker receives.
struct HandShakeParams {
    GatewayRecord* iFace = nullptr;
    // Receives a process-heap block with the store's certificate text.
    char** certificateBlob = nullptr;
    Status status = ZUN_E_NO_PROMPT_ANSWER;
    InetBlock* session = nullptr;
};

// The size of the buffer the handshake writes the publisher identifier into,
// which the entry function provides for every purchase.
inline constexpr size_t kPublisherIdSize = 50;

// Prefix of the temporary file an engine download goes into.
inline constexpr char kEngineUpdateFilePrefix[] = "XWS";

// 0 (the wizard may open), ZUN_E_ENGINE_UPDATED (a new engine is in
// updateFilePath), or the failure. `waitWindow` runs on the calling thread.
Status DoInitialHandShake(GatewayRecord* iFace, char** certificateBlob, WaitWindowHost& waitWindow);

// The worker's body: every exit closes the wait window and stores the
// result in hsp->status.
Status DoInitialHandShakeInner(HandShakeParams* hsp);

}  // namespace zun
