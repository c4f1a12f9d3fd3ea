#include "base/map_result.h"

#include <cstdint>

namespace zun {

Status MapResult(Status status) {
    constexpr Status kCustomerBit = 0x20000000;
    if (status & kCustomerBit) return status;
    if (static_cast<int32_t>(status) <= 0) return status;
    return 0x80070000u | (status & 0xFFFFu);
}

}  // namespace zun
