#include <gtest/gtest.h>

#include <cstring>

#include <zunserver/zunserver.h>

namespace zun {
namespace {

// A wrong size touches nothing; an unserved call type only clears the update path.
TEST(EntryPoint, RefusesANullRecordAWrongSizeAndUnservedCallTypes) {
    EXPECT_EQ(EntryPoint(nullptr), ZUN_E_INVALID_REQUEST);
    const struct {
        uint32_t size, callType;
    } cases[] = {{0u, ZUN_CALL_CHECK_FOR_UPDATE}, {ZUN_GATEWAY_RECORD_SIZE - 1, ZUN_CALL_CHECK_FOR_UPDATE},
                 {ZUN_GATEWAY_RECORD_SIZE + 1, ZUN_CALL_CHECK_FOR_UPDATE}, {ZUN_GATEWAY_RECORD_SIZE, 1u},
                 {ZUN_GATEWAY_RECORD_SIZE, 3u}, {ZUN_GATEWAY_RECORD_SIZE, 11u}, {ZUN_GATEWAY_RECORD_SIZE, 0xFFFFFFFFu}};
    for (const auto& each : cases) {
        GatewayRecord record;
        std::memset(&record, 0x5A, sizeof record);
        record.size = each.size;
        record.callType = each.callType;
        record.publisherID = nullptr;
        GatewayRecord before;
        std::memcpy(&before, &record, sizeof record);
        EXPECT_EQ(EntryPoint(&record), ZUN_E_INVALID_REQUEST) << each.size << " " << each.callType;
        if (each.size == ZUN_GATEWAY_RECORD_SIZE) before.updateFilePath[0] = '\0';
        EXPECT_EQ(std::memcmp(&before, &record, sizeof record), 0) << each.size << " " << each.callType;
    }
}

}  // namespace
}  // namespace zun
