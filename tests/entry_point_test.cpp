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

TEST(EntryPoint, RejectsANullRecordOrAWrongSizeAndTouchesNothing) {
    EXPECT_EQ(EntryPoint(nullptr), ZUN_E_INVALID_REQUEST);
    for (uint32_t size : {0u, ZUN_GATEWAY_RECORD_SIZE - 1, ZUN_GATEWAY_RECORD_SIZE + 1, 392u + 1}) {
        GatewayRecord record = MakeRecord(ZUN_CALL_CHECK_FOR_UPDATE);
        record.size = size;
        GatewayRecord before;
        std::memcpy(&before, &record, sizeof record);
        EXPECT_EQ(EntryPoint(&record), ZUN_E_INVALID_REQUEST) << size;
        EXPECT_EQ(std::memcmp(&before, &record, sizeof record), 0) << size;
    }
}

TEST(EntryPoint, RejectsUnservedCallTypesAfterClearingTheUpdatePath) {
    for (uint32_t callType : {1u, 3u, 11u, 0xFFFFFFFFu}) {
        GatewayRecord record = MakeRecord(callType);
        GatewayRecord before;
        std::memcpy(&before, &record, sizeof record);
        EXPECT_EQ(EntryPoint(&record), ZUN_E_INVALID_REQUEST) << callType;
        EXPECT_EQ(record.updateFilePath[0], '\0') << callType;
        // Everything else is as the caller left it.
        before.updateFilePath[0] = '\0';
        EXPECT_EQ(std::memcmp(&before, &record, sizeof record), 0) << callType;
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
