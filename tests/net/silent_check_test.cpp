#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include <zunserver/zunserver.h>

#include "store_server.h"
#include "trace_capture.h"

namespace zun {
namespace {

using ::testing::Contains;
using ::testing::Each;
using ::testing::HasSubstr;
using ::testing::Not;
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

TEST(SilentCheck, AnswersByTheReplysUpdateAvailableValueAndSendsThePingAndTheQueryAsBuilt) {
    const struct {
        const char* answer;
        Status expected;
    } cases[] = {
        {"update", ZUN_S_UPDATE_AVAILABLE},  {"noupdate", ZUN_S_NO_UPDATE},    {"lowercase", ZUN_S_NO_UPDATE},
        {"truex", ZUN_S_NO_UPDATE},          {"empty", ZUN_S_NO_UPDATE},       {"long", ZUN_S_NO_UPDATE},
        {"nokey", ZUN_E_NOT_FOUND},          {"garbage", ZUN_E_INVALID_CARTSTATE},
    };
    for (const auto& each : cases) {
        // "&" goes out as it is and starts another parameter; a blank goes out
        // escaped, as the system's HTTP client sends it.
        GatewayRecord record = CheckRecord(each.answer, "TRACK&x=1 y");
        EXPECT_EQ(EntryPoint(&record), each.expected) << each.answer;
        EXPECT_EQ(record.publisherID, nullptr);
    }
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

TEST(SilentCheck, AStoreHostThatNamesNoServerFailsWithoutARequest) {
    testing::TraceCapture trace;
    for (const char* unusable : {"", "staging host", "127.0.0.1:80/other"}) {
        testing::StoreHostOverride host(unusable);
        GatewayRecord record = CheckRecord("update", "unusable-host");
        EXPECT_EQ(EntryPoint(&record), ZUN_E_INVALID_ARG) << unusable;
    }
    EXPECT_THAT(trace.Messages(), Contains(HasSubstr("ZUN_E: CheckStoreHost(): the store host")));
    EXPECT_THAT(RequestLog(), Not(HasSubstr("unusable-host")));
}

TEST(SilentCheck, CallsFromSeveralThreadsAreServedOneAtATime) {
    constexpr int kThreads = 4;
    testing::TraceCapture trace;
    std::atomic<int> ready{0};
    std::vector<Status> statuses(kThreads);
    std::vector<std::thread> threads;
    for (int i = 0; i < kThreads; ++i) {
        threads.emplace_back([&, i] {
            GatewayRecord record = CheckRecord("update", "threads");
            ready.fetch_add(1);  // all four start together
            while (ready.load() < kThreads) std::this_thread::yield();
            statuses[i] = EntryPoint(&record);
        });
    }
    for (std::thread& thread : threads) thread.join();
    EXPECT_THAT(statuses, Each(ZUN_S_UPDATE_AVAILABLE));
    // The trace shows each check's prolog only after the one before it ended.
    int running = 0, finished = 0;
    for (const std::string& message : trace.Messages()) {
        if (message == "ZUN: Prolog SilentCheckForUpdate()") {
            EXPECT_EQ(running++, 0);
        }
        if (message.starts_with("ZUN: Epilog SilentCheckForUpdate()")) finished += running-- == 1;
    }
    EXPECT_EQ(finished, kThreads);
}

// Makes one more update check from inside the first one, on its thread, as a
// window procedure may while the wizard runs.
class NestedCall final : public trace::Listener {
public:
    void OnTraceLine(const char* line) override {
        if (called || std::strstr(line, "ZUN: Prolog SilentCheckForUpdate()") == nullptr) return;
        called = true;
        GatewayRecord record = CheckRecord("noupdate", "nested");
        status = EntryPoint(&record);
    }
    Status status = 0;
    bool called = false;
};

TEST(SilentCheck, ACallOnTheSameThreadDuringACallRunsNested) {
    NestedCall nested;
    trace::Listener* const previous = trace::SetListener(&nested);
    GatewayRecord record = CheckRecord("update", "outer");
    const Status outer = EntryPoint(&record);
    trace::SetListener(previous);
    EXPECT_EQ(outer, ZUN_S_UPDATE_AVAILABLE);
    EXPECT_EQ(nested.status, ZUN_S_NO_UPDATE);
}

}  // namespace
}  // namespace zun
