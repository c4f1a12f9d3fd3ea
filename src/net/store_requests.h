// The requests the engine sends to the store server, and the reading of
// their replies. Every query goes to "/store/IEEngineHandler.aspx" and names
// its operation twice, in `call` and `cmd`. Values are inserted as they are,
// without URL encoding; a null text is sent as empty text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include <zunserver/zunserver.h>

#include "base/status.h"
#include "state/cartstate.h"

namespace zun {

inline constexpr size_t kRequestUrlSize = 1024;

// Buffers the reply keys are read into; a longer value is cut to its buffer.
inline constexpr uint16_t kUpdateAvailableSize = 8;
inline constexpr uint16_t kDownloadUrlSize = 1024;
inline constexpr uint16_t kLayoutNumberSize = 8;
inline constexpr uint16_t kPublisherIdValueSize = 50;
inline constexpr uint16_t kCertificateBlobSize = 3072;
inline constexpr uint16_t kActivationIdSize = 100;

// The URLs, formatted into `url` of `size` bytes; ZUN_E_TEXT_TRUNCATED when
// the URL was cut (the cut URL is still usable).
Status BuildSilentCheckUrl(char* url, size_t size, const char* host, const char* vantorID, const char* skuRefNum,
                           const char* pc, const char* trackingID);
Status BuildEngineUpdateUrl(char* url, size_t size, const char* host, const GatewayRecord& record,
                            const char* versionText);
Status BuildLayoutUrl(char* url, size_t size, const char* host, const GatewayRecord& record);

// Loads a reply buffer into `state` and releases the buffer.
Status LoadReply(CartState& state, uint8_t* reply);

// A number as atoi reads it: leading blanks, an optional sign, digits up to
// the first non-digit; no digits give 0. Values beyond 32 bits are clamped.
int32_t ParseDecimal(std::string_view text);

}  // namespace zun
