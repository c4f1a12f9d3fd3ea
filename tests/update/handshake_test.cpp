// The initial handshake against the local store server, with a scripted wait
// window on the test's thread.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include <zunserver/zunserver.h>

#ifdef _WIN32
#include <windows.h>
#endif

#include "base/bounded_text.h"
#include "base/engine_heap.h"
#include "file_bytes.h"
#include "net/store_host.h"
#include "scripted_wait_window.h"
#include "store_server.h"
#include "trace_capture.h"
#include "update/engineautoupdate.h"

namespace zun {
namespace {

using ::testing::AllOf;
using ::testing::Contains;
using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;
using testing::FileBytes;
using testing::ScriptedWaitWindow;
using Clock = std::chrono::steady_clock;

// A purchase record as the entry function hands it to the handshake.
struct PurchaseRecord {
    explicit PurchaseRecord(const char* vantorID) {
        record.size = sizeof record;
        record.callType = ZUN_CALL_PURCHASE;
        record.vantorID = vantorID;
        record.tc = "TC-1";
        record.publisherID = publisherID;
        record.interactive = 1;
        record.wizardWidth = record.wizardHeight = record.invoiceWidth = record.invoiceHeight = -7;
    }
    ~PurchaseRecord() { heap::Release(certificate); }

    GatewayRecord record{};
    char publisherID[50] = {};
    char* certificate = nullptr;
};

// Points the engine at another store host for one test.
class StoreHostOverride {
public:
    explicit StoreHostOverride(const char* host) {
        CopyText(_saved, StoreHost());
        Set(host);
    }
    ~StoreHostOverride() { Set(_saved); }
    static void Set(const char* host) { CopyText(StoreHost(), kStoreHostSize, host); }

private:
    char _saved[kStoreHostSize];
};

std::string Served(const std::string& path) {
    InetBlock session;
    testing::Reply reply;
    if (session.OpenNetwork(testing::StoreServer().c_str(), 0, 0) != 0) return "";
    if (session.PageGET(testing::StoreUrl(path).c_str(), &reply.data, &reply.length) != 0) return "";
    return reply.Text();
}

long long Milliseconds(Clock::duration duration) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(duration).count();
}

TEST(HandShake, AnUpdateCycleDownloadsTheEngineThenReadsTheLayoutWithoutAskingAgain) {
    // Other tests share the store server: this one marks its requests.
    PurchaseRecord first("update-cycle");
    ScriptedWaitWindow waitWindow;
    waitWindow.awaitWindow = true;
    EXPECT_EQ(DoInitialHandShake(&first.record, &first.certificate, waitWindow), ZUN_E_ENGINE_UPDATED);
    EXPECT_EQ(first.record.engineUpdated, 1u);
    // The layout is not asked for: its fields keep what they held.
    EXPECT_EQ(first.record.wizardWidth, -7);
    EXPECT_EQ(first.record.invoiceHeight, -7);
    EXPECT_EQ(first.certificate, nullptr);

    const std::string path = TextInBuffer(first.record.updateFilePath).data();
    const char* tmp = std::getenv("TMPDIR");
    const std::string directory = tmp != nullptr && tmp[0] == '/' ? tmp : "/tmp";
#ifdef _WIN32
    EXPECT_THAT(path, HasSubstr("\\XWS"));
#else
    EXPECT_THAT(path, StartsWith(directory + "/XWS"));
#endif
    EXPECT_THAT(path, ::testing::EndsWith(".tmp"));
    const std::string served = FileBytes(ZUN_NEXT_ENGINE_PATH);
    ASSERT_GT(served.size(), 65536u);
    EXPECT_EQ(FileBytes(path.c_str()), served);
    std::remove(path.c_str());

    // The update texts, then progress that ends at the whole file.
    const auto notices = waitWindow.Notices();
    auto update = std::find_if(notices.begin(), notices.end(),
                               [](const testing::SeenNotice& notice) { return notice.kind == ENGINEAUTOUPDATE; });
    ASSERT_NE(update, notices.end());
    EXPECT_EQ(update->topText, "Updating Orvella Software...");
    EXPECT_THAT(update->bottomText, StartsWith("Please wait while we update Orvella Software."));
    EXPECT_EQ(notices.back().kind, DOWNLOADPROGRESS);
    EXPECT_EQ(notices.back().done, served.size());
    EXPECT_EQ(notices.back().total, served.size());
    EXPECT_EQ(notices.back().phase, kProgressUpdate);

    // The client installed it and calls again with engineUpdated still 1.
    const std::string before = testing::RequestLog();
    PurchaseRecord second("update-cycle");
    second.record.engineUpdated = 1;
    ScriptedWaitWindow again;
    EXPECT_EQ(DoInitialHandShake(&second.record, &second.certificate, again), 0u);
    const std::string requests = testing::RequestLog().substr(before.size());
    EXPECT_THAT(requests, Not(HasSubstr("vnidc=update-cycle&")));
    EXPECT_THAT(requests, HasSubstr("call=layoutSize&cmd=layoutSize&s=update-cycle&tc=TC-1"));
    EXPECT_EQ(second.record.wizardHeight, 600);
    EXPECT_EQ(second.record.wizardWidth, 800);
    EXPECT_EQ(second.record.invoiceWidth, 640);
    EXPECT_EQ(second.record.invoiceHeight, 480);
    EXPECT_STREQ(second.publisherID, "orvella-publisher");
}

TEST(HandShake, WithoutAnUpdateItReadsTheLayoutAndKeepsTheWindowAMomentWhenQuick) {
    PurchaseRecord purchase("noupdate");
    ScriptedWaitWindow waitWindow;
    waitWindow.awaitWindow = true;
    const std::string before = testing::RequestLog();
    EXPECT_EQ(DoInitialHandShake(&purchase.record, &purchase.certificate, waitWindow), 0u);
    const std::string requests = testing::RequestLog().substr(before.size());
    EXPECT_THAT(requests, HasSubstr("call=CHECKFORIEENGINEUPDATE&cmd=CHECKFORIEENGINEUPDATE&vnidc=noupdate&pubidc=&"));
    EXPECT_EQ(purchase.record.wizardWidth, 800);
    EXPECT_EQ(purchase.record.updateFilePath[0], '\0');
    EXPECT_FALSE(waitWindow.Saw(ENGINEAUTOUPDATE));
    EXPECT_FALSE(waitWindow.Saw(CONNECTIONERROR));
    // The window, up before the work ended, is kept until at least a second
    // after the wait began, however late it opened.
    EXPECT_GE(Milliseconds(waitWindow.closed - waitWindow.started), 950);
}

TEST(HandShake, TheRepliesDecideTheOutcome) {
    const struct {
        const char* vantor;
        Status expected;
    } cases[] = {
        {"nodownloadurl", ZUN_E_NOT_FOUND},
        {"emptypublisher", ZUN_E_INVALID_REQUEST},
        {"nopublisher", ZUN_E_INVALID_REQUEST},
        {"nocertificate", 0},
    };
    for (const auto& each : cases) {
        PurchaseRecord purchase(each.vantor);
        ScriptedWaitWindow waitWindow;
        EXPECT_EQ(DoInitialHandShake(&purchase.record, &purchase.certificate, waitWindow), each.expected)
            << each.vantor;
        EXPECT_EQ(purchase.certificate, nullptr) << each.vantor;
        EXPECT_FALSE(waitWindow.Saw(ENGINEAUTOUPDATE)) << each.vantor;
    }

    // The certificate text is handed over as the store sent it.
    PurchaseRecord purchase("noupdate");
    ScriptedWaitWindow waitWindow;
    EXPECT_EQ(DoInitialHandShake(&purchase.record, &purchase.certificate, waitWindow), 0u);
    ASSERT_NE(purchase.certificate, nullptr);
    EXPECT_EQ(std::string(purchase.certificate), Served("/_certificate").substr(0, strlen(purchase.certificate)));
    EXPECT_GT(strlen(purchase.certificate), 100u);

    // Sizes that are not numbers read as atoi reads them; huge ones are cut
    // to their 8-byte fields and never overflow.
    PurchaseRecord text("textsizes");
    EXPECT_EQ(DoInitialHandShake(&text.record, &text.certificate, waitWindow), 0u);
    EXPECT_EQ(text.record.wizardHeight, 600);
    EXPECT_EQ(text.record.wizardWidth, 0);
    EXPECT_EQ(text.record.invoiceWidth, 0);
    EXPECT_EQ(text.record.invoiceHeight, 0);
    PurchaseRecord huge("hugesizes");
    EXPECT_EQ(DoInitialHandShake(&huge.record, &huge.certificate, waitWindow), 0u);
    EXPECT_EQ(huge.record.wizardHeight, 99999999);
    EXPECT_EQ(huge.record.invoiceHeight, -2147483);
}

// The temporary folder of engine downloads, private to one test.
class PrivateTempFolder {
public:
    PrivateTempFolder()
        : _path(std::filesystem::temp_directory_path() /
                ("handshake-" + std::to_string(Clock::now().time_since_epoch().count()))) {
        std::filesystem::create_directories(_path);
        Set(_path.string().c_str());
    }
    ~PrivateTempFolder() {
        Set(nullptr);
        std::error_code ignored;
        std::filesystem::remove_all(_path, ignored);
    }
    size_t Files() const {
        return static_cast<size_t>(std::distance(std::filesystem::directory_iterator(_path), {}));
    }

private:
    static void Set(const char* value) {
#ifdef _WIN32
        SetEnvironmentVariableA("TMP", value);
#else
        if (value != nullptr) setenv("TMPDIR", value, 1);
        else unsetenv("TMPDIR");
#endif
    }
    std::filesystem::path _path;
};

TEST(HandShake, OnlyANewerBuildSignedWithATrustedKeyIsHandedOverAndARefusalLetsThePurchaseGoOn) {
    PrivateTempFolder temp;
    const struct {
        const char* vantor;
        const char* refusal;
    } cases[] = {
        {"update-trusted", nullptr},
        {"update-unsigned", "the reply carries no DOWNLOADSIGNATURE"},
        {"update-untrusted", "the signature does not verify with a trusted key"},
        {"update-tampered", "the signature does not verify with a trusted key"},
        {"update-sameversion", "the file is not newer than the running engine"},
        {"update-randombytes", " module"},
        {"update-oversize", "larger than an engine build may be"},
        {"update-dropdownload", "the download failed"},
    };
    for (const auto& each : cases) {
        testing::TraceCapture trace;
        PurchaseRecord purchase(each.vantor);
        ScriptedWaitWindow waitWindow;
        const Status status = DoInitialHandShake(&purchase.record, &purchase.certificate, waitWindow);
        if (each.refusal == nullptr) {
            EXPECT_EQ(status, ZUN_E_ENGINE_UPDATED);
            EXPECT_EQ(FileBytes(purchase.record.updateFilePath), FileBytes(ZUN_NEXT_ENGINE_PATH));
            std::remove(purchase.record.updateFilePath);
            continue;
        }
        // Refused: no file, nothing for the client, and on to the layout.
        EXPECT_EQ(status, 0u) << each.vantor;
        EXPECT_EQ(purchase.record.engineUpdated, 0u) << each.vantor;
        EXPECT_EQ(purchase.record.updateFilePath[0], '\0') << each.vantor;
        EXPECT_EQ(purchase.record.wizardWidth, 800) << each.vantor;
        EXPECT_EQ(temp.Files(), 0u) << each.vantor;
        EXPECT_THAT(trace.Messages(), Contains(AllOf(HasSubstr("engine update refused: "), HasSubstr(each.refusal))))
            << each.vantor;
        // Only a broken connection is offered for a retry.
        EXPECT_EQ(waitWindow.Saw(CONNECTIONERROR), std::string(each.vantor) == "update-dropdownload") << each.vantor;
    }
}

TEST(HandShake, ADownloadWithoutLengthEndsAt2048Of2048) {
    PurchaseRecord purchase("update-nolength");
    ScriptedWaitWindow waitWindow;
    waitWindow.awaitWindow = true;
    EXPECT_EQ(DoInitialHandShake(&purchase.record, &purchase.certificate, waitWindow), ZUN_E_ENGINE_UPDATED);
    std::remove(purchase.record.updateFilePath);
    const auto notices = waitWindow.Notices();
    ASSERT_FALSE(notices.empty());
    EXPECT_EQ(notices.back().done, 2048u);
    EXPECT_EQ(notices.back().total, 2048u);
}

TEST(HandShake, TheCloseBoxDuringAStalledTransferEndsItPromptlyAfterTheContactingTick) {
    for (const char* vantor : {"stallupdate", "update-stalldownload"}) {
        PurchaseRecord purchase(vantor);
        ScriptedWaitWindow waitWindow;
        // The stalled call begins before the window is up: the window starts
        // the connecting timer when it opens.
        waitWindow.openDelay = std::chrono::milliseconds(300);
        std::thread closer([&waitWindow] {
            std::this_thread::sleep_for(std::chrono::milliseconds(1500));
            waitWindow.CloseRunningWizard();
        });
        const Clock::time_point start = Clock::now();
        EXPECT_EQ(DoInitialHandShake(&purchase.record, &purchase.certificate, waitWindow), ZUN_E_SESSION_CLOSED)
            << vantor;
        EXPECT_LT(Milliseconds(Clock::now() - start), 5000) << vantor;
        closer.join();
        std::remove(purchase.record.updateFilePath);
        if (std::string(vantor) == "stallupdate") {
            EXPECT_GE(waitWindow.ticks.load(), 1);
        }
    }
}

TEST(HandShake, ARefusedConnectionIsOfferedAndCancelEndsWithTheFailingStepsStatus) {
    StoreHostOverride closed(testing::kClosedStoreHost);
    PurchaseRecord purchase("noupdate");
    ScriptedWaitWindow waitWindow;
    // The refusal comes before the window is up: the question waits for it.
    waitWindow.openDelay = std::chrono::milliseconds(400);
    EXPECT_EQ(DoInitialHandShake(&purchase.record, &purchase.certificate, waitWindow), 0x80072EFDu);
    const auto notices = waitWindow.Notices();
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_EQ(notices[0].kind, CONNECTIONERROR);
    EXPECT_EQ(notices[0].topText, "Could not connect to network...");
    EXPECT_THAT(notices[0].bottomText, HasSubstr("due to a failed network request. (Error 0x80072EFD)."));
}

TEST(HandShake, RetryAfterTheServerComesUpSucceeds) {
    // A listener of the store server that refuses connections for a moment.
    const std::string later = Served("/_listen_later?after=1.5");
    ASSERT_FALSE(later.empty());
    StoreHostOverride refusing(later.substr(0, later.find_first_of("\r\n")).c_str());
    PurchaseRecord purchase("noupdate");
    ScriptedWaitWindow waitWindow;
    waitWindow.answer = [](int) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1700));
        return uint32_t{4};
    };
    EXPECT_EQ(DoInitialHandShake(&purchase.record, &purchase.certificate, waitWindow), 0u);
    EXPECT_STREQ(purchase.publisherID, "orvella-publisher");
    EXPECT_EQ(waitWindow.Notices().front().kind, CONNECTIONERROR);
}

TEST(HandShake, RetryRepeatsTheFailedStep) {
    StoreHostOverride closed(testing::kClosedStoreHost);
    PurchaseRecord purchase("noupdate");
    ScriptedWaitWindow waitWindow;
    waitWindow.answer = [](int question) { return question == 1 ? uint32_t{4} : uint32_t{2}; };
    EXPECT_EQ(DoInitialHandShake(&purchase.record, &purchase.certificate, waitWindow), 0x80072EFDu);
    EXPECT_EQ(waitWindow.Notices().size(), 2u);
}

TEST(HandShake, AQuestionEndsUnansweredWhenTheWindowGoesOrThePageNeverLoads) {
    StoreHostOverride closed(testing::kClosedStoreHost);
    {
        // The window is destroyed before the page took the question.
        PurchaseRecord purchase("noupdate");
        ScriptedWaitWindow waitWindow;
        waitWindow.refuseNotices = -1;
        waitWindow.closeAtRefusal = 3;
        EXPECT_EQ(DoInitialHandShake(&purchase.record, &purchase.certificate, waitWindow), 0x80072EFDu);
        EXPECT_EQ(waitWindow.refused.load(), 3);
    }
    {
        // The window closes with the question open.
        PurchaseRecord purchase("noupdate");
        ScriptedWaitWindow waitWindow;
        waitWindow.answer = [](int) { return uint32_t{0}; };
        std::thread closer([&waitWindow] {
            while (!waitWindow.Saw(CONNECTIONERROR)) std::this_thread::sleep_for(std::chrono::milliseconds(5));
            waitWindow.CloseRunningWizard();
        });
        EXPECT_EQ(DoInitialHandShake(&purchase.record, &purchase.certificate, waitWindow), 0x80072EFDu);
        closer.join();
    }
}

TEST(HandShake, APageThatNeverLoadsGivesTheQuestionUpWithinTheBound) {
    StoreHostOverride closed(testing::kClosedStoreHost);
    PurchaseRecord purchase("noupdate");
    ScriptedWaitWindow waitWindow;
    waitWindow.refuseNotices = -1;
    const Clock::time_point start = Clock::now();
    EXPECT_EQ(DoInitialHandShake(&purchase.record, &purchase.certificate, waitWindow), 0x80072EFDu);
    const long long took = Milliseconds(Clock::now() - start);
    EXPECT_GE(took, Milliseconds(kConnectionErrorOfferLimit));
    EXPECT_LT(took, Milliseconds(kConnectionErrorOfferLimit) + 10000);
}

TEST(HandShake, AWorkerThatEndsBeforeTheWindowOpensStillLetsTheCallReturn) {
    StoreHostOverride closed(testing::kClosedStoreHost);
    PurchaseRecord purchase("noupdate");
    purchase.record.interactive = 0;
    ScriptedWaitWindow waitWindow;
    waitWindow.openDelay = std::chrono::milliseconds(400);
    EXPECT_EQ(DoInitialHandShake(&purchase.record, &purchase.certificate, waitWindow), 0x80072EFDu);
    EXPECT_TRUE(waitWindow.Notices().empty());
}

TEST(HandShake, AnAbortBeforeTheSessionOpensEndsTheWorkerAtOnce) {
    PurchaseRecord purchase("noupdate");
    ScriptedWaitWindow waitWindow;
    BeginWaitWindowNotices(waitWindow);
    // The calling thread gave up before the worker got to open the session.
    InetBlock session;
    session.CloseNetwork();
    HandShakeParams hsp;
    hsp.iFace = &purchase.record;
    hsp.certificateBlob = &purchase.certificate;
    hsp.session = &session;
    EXPECT_EQ(DoInitialHandShakeInner(&hsp), ZUN_E_SESSION_CLOSED);
    EXPECT_EQ(purchase.record.wizardWidth, -7);
}

}  // namespace
}  // namespace zun
