#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include <zunserver/zunserver.h>

#include "base/bounded_text.h"
#include "net/store_host.h"
#include "platform/module_loader.h"
#include "store_server.h"

namespace zun {
namespace {

using ::testing::HasSubstr;
using testing::RequestLog;

GatewayRecord CheckRecord(const char* vantorID, const char* trackingID) {
    GatewayRecord record{};
    record.size = sizeof record;
    record.callType = ZUN_CALL_CHECK_FOR_UPDATE;
    record.vantorID = vantorID;
    record.skuRefNum = "SKU-1";
    record.pc = "PC-2";
    record.trackingID = trackingID;
    return record;
}

TEST(SilentCheck, TheStoreHostComesFromTheEnvironment) {
    EXPECT_EQ(std::string(StoreHost()), testing::StoreServer());
}

TEST(SilentCheck, AnswersByTheReplysUpdateAvailableValue) {
    const struct {
        const char* answer;
        Status expected;
    } cases[] = {
        {"update", ZUN_S_UPDATE_AVAILABLE},  {"noupdate", ZUN_S_NO_UPDATE},    {"lowercase", ZUN_S_NO_UPDATE},
        {"truex", ZUN_S_NO_UPDATE},          {"empty", ZUN_S_NO_UPDATE},       {"long", ZUN_S_NO_UPDATE},
        {"nokey", ZUN_E_NOT_FOUND},          {"garbage", ZUN_E_INVALID_CARTSTATE},
    };
    for (const auto& each : cases) {
        GatewayRecord record = CheckRecord(each.answer, "answers");
        EXPECT_EQ(EntryPoint(&record), each.expected) << each.answer;
        EXPECT_EQ(record.publisherID, nullptr);
    }
}

TEST(SilentCheck, SendsThePingAndTheQueryAsBuilt) {
    // "&" goes out as it is and starts another parameter; a blank goes out
    // escaped, as the system's HTTP client sends it.
    GatewayRecord record = CheckRecord("noupdate", "TRACK&x=1 y");
    EXPECT_EQ(EntryPoint(&record), ZUN_S_NO_UPDATE);
    GatewayRecord empty = CheckRecord(nullptr, nullptr);
    empty.skuRefNum = nullptr;
    empty.pc = nullptr;
    EXPECT_EQ(EntryPoint(&empty), ZUN_S_NO_UPDATE);

    const std::string log = RequestLog();
    EXPECT_THAT(log, HasSubstr("GET /store/ping.aspx HTTP/1.1"));
    EXPECT_THAT(log, HasSubstr("GET /store/IEEngineHandler.aspx?call=silentcheckforupdate&cmd=silentcheckforupdate"
                               "&s=noupdate&skurefnum=SKU-1&pc=PC-2&trackingID=TRACK&x=1%20y HTTP/1.1"));
    EXPECT_THAT(log, HasSubstr("GET /store/IEEngineHandler.aspx?call=silentcheckforupdate&cmd=silentcheckforupdate"
                               "&s=&skurefnum=&pc=&trackingID= HTTP/1.1"));
}

TEST(SilentCheck, AnUnreachableServerGivesTheMappedConnectionError) {
    char saved[kStoreHostSize];
    CopyText(saved, StoreHost());
    CopyText(StoreHost(), kStoreHostSize, testing::kClosedStoreHost);
    GatewayRecord record = CheckRecord("update", "down");
    const Status status = EntryPoint(&record);
    CopyText(StoreHost(), kStoreHostSize, saved);
    EXPECT_EQ(status, 0x80072EFDu);
}

TEST(SilentCheck, TheLoadedEngineModuleAnswersToo) {
    platform::LoadedModule engine(ZUN_ENGINE_PATH);
    ASSERT_TRUE(engine.Loaded()) << engine.LoadError();
    auto* entry = reinterpret_cast<ZunEntryPointFunction>(engine.FindExport("EntryPoint"));
    ASSERT_NE(entry, nullptr);
    GatewayRecord record = CheckRecord("update", "module");
    EXPECT_EQ(entry(&record), ZUN_S_UPDATE_AVAILABLE);
    record.vantorID = "garbage";
    EXPECT_EQ(entry(&record), ZUN_E_INVALID_CARTSTATE);
}

}  // namespace
}  // namespace zun
