#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include <zunserver/zunserver.h>

#include "trace_capture.h"

namespace zun {
namespace {

using ::testing::Contains;
using ::testing::HasSubstr;

GatewayRecord MakeRecord(uint32_t callType) {
    GatewayRecord record;
    std::memset(&record, 0x5A, sizeof record);
    record.size = sizeof(GatewayRecord);
    record.callType = callType;
    record.publisherID = nullptr;
    return record;
}

// A wrong size touches nothing; an unserved call type only clears the update path.
TEST(EntryPoint, RefusesANullRecordAWrongSizeAndUnservedCallTypes) {
    EXPECT_EQ(EntryPoint(nullptr), ZUN_E_INVALID_REQUEST);
    const struct {
        uint32_t size, callType;
    } cases[] = {{0u, ZUN_CALL_CHECK_FOR_UPDATE}, {ZUN_GATEWAY_RECORD_SIZE - 1, ZUN_CALL_CHECK_FOR_UPDATE},
                 {ZUN_GATEWAY_RECORD_SIZE + 1, ZUN_CALL_CHECK_FOR_UPDATE}, {ZUN_GATEWAY_RECORD_SIZE, 1u},
                 {ZUN_GATEWAY_RECORD_SIZE, 3u}, {ZUN_GATEWAY_RECORD_SIZE, 11u}, {ZUN_GATEWAY_RECORD_SIZE, 0xFFFFFFFFu}};
    for (const auto& each : cases) {
        GatewayRecord record = MakeRecord(each.callType);
        record.size = each.size;
        GatewayRecord before;
        std::memcpy(&before, &record, sizeof record);
        EXPECT_EQ(EntryPoint(&record), ZUN_E_INVALID_REQUEST) << each.size << " " << each.callType;
        if (each.size == ZUN_GATEWAY_RECORD_SIZE) before.updateFilePath[0] = '\0';
        EXPECT_EQ(std::memcmp(&before, &record, sizeof record), 0) << each.size << " " << each.callType;
    }
}

// Purchases give it back too (tests/update/purchase_test.cpp).
TEST(EntryPoint, GivesTheCallersPublisherIdBackAfterUsingItsOwnBuffer) {
    char callerText[] = "caller's publisher";
    for (char* given : {static_cast<char*>(nullptr), callerText}) {
        GatewayRecord record = MakeRecord(7u);
        record.publisherID = given;
        testing::TraceCapture capture;
        EntryPoint(&record);
        EXPECT_EQ(record.publisherID, given);
        EXPECT_STREQ(callerText, "caller's publisher");
        EXPECT_THAT(capture.Messages(), Contains(HasSubstr("ZUN: CZunNV::CoStoreGateway(): &_iFace=0x")));
    }
}

}  // namespace
}  // namespace zun
