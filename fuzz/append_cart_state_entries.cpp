// Any bytes as a caller's binary CartState, walked into the pre-fill POST body
// behind a body prefix of any length.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "base/byte_order.h"
#include "quiet_trace.h"
#include "shopper/purchase_post_data.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    zun::fuzzing::InstallDiscardingTrace();
    // The first two bytes give the length of the body already written; the
    // rest is the blob, in a buffer of exactly its size.
    if (size < 6) return 0;
    const size_t prefix = zun::LoadLittleEndian16(data) % zun::kPostDataSize;
    const size_t blobSize = size - 2;
    auto blob = std::make_unique<uint8_t[]>(blobSize);
    std::memcpy(blob.get(), data + 2, blobSize);
    // A caller's blob is as long as its length field says; keep to that.
    if (zun::LoadLittleEndian32(blob.get()) > blobSize) {
        zun::StoreLittleEndian32(blob.get(), static_cast<uint32_t>(blobSize));
    }

    zun::PostDataBuffer body;
    std::memset(body, 'b', prefix);
    body[prefix] = '\0';
    zun::AppendCartStateEntries(body, blob.get());
    if (strnlen(body, sizeof body) >= sizeof body) std::abort();
    return 0;
}
