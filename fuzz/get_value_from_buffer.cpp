// Any bytes as a caller's binary CartState, in a buffer of exactly their size.
#include <cstdint>
#include <cstring>
#include <memory>

#include "quiet_trace.h"
#include "state/cartstate.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    zun::fuzzing::InstallDiscardingTrace();
    // The first byte is the length of the key that follows, the rest the blob.
    if (size == 0) return 0;
    const size_t keyLength = data[0] < size - 1 ? data[0] : size - 1;
    const std::string key(reinterpret_cast<const char*>(data + 1), keyLength);
    const size_t blobSize = size - 1 - keyLength;
    auto blob = std::make_unique<uint8_t[]>(blobSize);
    std::memcpy(blob.get(), data + 1 + keyLength, blobSize);

    for (uint16_t outSize : {1, 8, 256}) {
        auto out = std::make_unique<char[]>(outSize);
        uint32_t position = 0;
        uint32_t length = 0;
        zun::CartState::GetValueFromBuffer(blob.get(), static_cast<uint32_t>(blobSize), key.c_str(), out.get(),
                                           outSize, &position, &length);
    }
    return 0;
}
