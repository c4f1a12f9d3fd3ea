// The pre-fill POST body that opens the store: key=value pairs joined by "&",
// keys as they stand, values raw except that each "&" becomes the byte 0x02.
//
// Length rule: the body holds at most 3095 characters and is always
// terminated. A pair whose value would not fit its buffer (the body, the
// 2048-byte encoding buffer, a 256-byte lookup, the 100-byte SKU) is left out
// whole: the store would take a cut value for real data.
#pragma once

#include <cstddef>
#include <cstdint>

#include "base/status.h"
#include "platform/post_data.h"
#include "zunserver/zunserver.h"

namespace zun {

inline constexpr size_t kPostDataSize = 3096;
using PostDataBuffer = char[kPostDataSize];

void CreatePurchasePostData(const GatewayRecord& record, PostDataBuffer& body, bool checkForUpdate);
// The body's bytes, without terminator, as the browser's POST argument.
// On failure `out` is left empty.
Status BuildPostDataVariant(platform::PostDataArgument* out, const char* body);

// Appends `key` (with its own "&" and "=") and the encoded value (null is
// empty), or nothing when the pair does not fit.
void AppendToPostData(PostDataBuffer& body, const char* key, const char* value);
void EncodeValue(PostDataBuffer& body, const char* value);
// Appends "&key=value" when the value is not empty and the key occurs nowhere
// in the body yet.
void AppendPostField(PostDataBuffer& body, const char* key, const char* value);
// Appends every entry of a caller's binary CartState (but the affiliate keys)
// that fits; the walk ends at an entry that runs past the blob's length.
void AppendCartStateEntries(PostDataBuffer& body, const uint8_t* blob);
// The saved purchase information, and the affiliate's web store address.
void AppendShopperData(const GatewayRecord& record, PostDataBuffer& body);

}  // namespace zun
