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

#include "base/engine_heap.h"
#include "blob_text.h"
#include "file_bytes.h"
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
using testing::FileBytes;
using testing::ScriptedWaitWindow;
using testing::StoreHostOverride;
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

// The temporary folder of engine downloads, private to one test.
class PrivateTempFolder {
public:
    PrivateTempFolder() {
        std::filesystem::create_directories(_path);
        Set(_path.string().c_str());
    }
    ~PrivateTempFolder() {
        Set(nullptr);
        std::error_code ignored;
        std::filesystem::remove_all(_path, ignored);
    }
    size_t Files() const { return std::distance(std::filesystem::directory_iterator(_path), {}); }

private:
    static void Set(const char* value) {
#ifdef _WIN32
        SetEnvironmentVariableA("TMP", value);
#else
        value != nullptr ? setenv("TMPDIR", value, 1) : unsetenv("TMPDIR");
#endif
    }
    const std::filesystem::path _path = std::filesystem::temp_directory_path() /
                                        ("handshake-" + std::to_string(Clock::now().time_since_epoch().count()));
};

TEST(HandShake, AnUpdateCycleDownloadsTheEngineThenReadsTheLayoutWithoutAskingAgain) {
    // Other tests share the store server: this one marks its requests.
    PurchaseRecord first("update-cycle");
    ScriptedWaitWindow waitWindow;
    // The update query is answered before the window is up: the update is
    // told once the window exists, never lost.
    waitWindow.openDelay = std::chrono::milliseconds(300);
    PrivateTempFolder temp;
    EXPECT_EQ(DoInitialHandShake(&first.record, &first.certificate, waitWindow), ZUN_E_ENGINE_UPDATED);
    EXPECT_EQ(first.record.engineUpdated, 1u);
    // The layout is not asked for: its fields keep what they held.
    EXPECT_EQ(first.record.wizardWidth, -7);
    EXPECT_EQ(first.record.invoiceHeight, -7);
    EXPECT_EQ(first.certificate, nullptr);

    // An XWS file of the temporary folder, with the served bytes.
    const std::string path = first.record.updateFilePath;
    EXPECT_THAT(path, AllOf(HasSubstr("XWS"), ::testing::EndsWith(".tmp")));
    EXPECT_EQ(temp.Files(), 1u);
    const std::string served = FileBytes(ZUN_NEXT_ENGINE_PATH);
    ASSERT_GT(served.size(), 65536u);
    EXPECT_EQ(FileBytes(path), served);
    std::remove(path.c_str());

    // The update notice, then progress that ends at the whole file.
    EXPECT_TRUE(waitWindow.Saw(ENGINEAUTOUPDATE));
    const auto notices = waitWindow.Notices();
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
    // The activation id comes from the caller's CartState, where one as long
    // as its 100-byte buffer is unterminated: it is sent whole.
    const std::string activationId(100, '7');
    const testing::Bytes cartState = testing::MakeBlob({{"_cartitem0.activationid", activationId}, {"X", "Y"}});
    purchase.record.cartStateIn = cartState.data();
    ScriptedWaitWindow waitWindow;
    waitWindow.awaitWindow = true;
    const std::string before = testing::RequestLog();
    EXPECT_EQ(DoInitialHandShake(&purchase.record, &purchase.certificate, waitWindow), 0u);
    const std::string requests = testing::RequestLog().substr(before.size());
    EXPECT_THAT(requests, HasSubstr("call=CHECKFORIEENGINEUPDATE&cmd=CHECKFORIEENGINEUPDATE&vnidc=noupdate&pubidc=&"
                                    "pc=&actidc=" + activationId + "&vers="));
    EXPECT_EQ(purchase.record.wizardWidth, 800);
    // The certificate text is handed over as the store sent it.
    EXPECT_STREQ(purchase.certificate, testing::StoreCertificate().c_str());
    EXPECT_EQ(purchase.record.updateFilePath[0], '\0');
    EXPECT_FALSE(waitWindow.Saw(ENGINEAUTOUPDATE));
    EXPECT_FALSE(waitWindow.Saw(CONNECTIONERROR));
    // The window, up before the work ended, is kept until at least a second
    // after the wait began, however late it opened.
    EXPECT_GE(waitWindow.closed - waitWindow.started, std::chrono::milliseconds(950));
}

TEST(HandShake, TheRepliesDecideTheOutcome) {
    // Sizes that are not numbers read as atoi reads them; huge ones are cut
    // to their 8-byte fields and never overflow.
    const struct {
        const char* vantor;
        Status expected;
        int32_t wizardHeight, wizardWidth, invoiceHeight;
    } cases[] = {
        {"nodownloadurl", ZUN_E_NOT_FOUND, -7, -7, -7},
        {"emptypublisher", ZUN_E_INVALID_REQUEST, 600, 800, 480},
        {"nopublisher", ZUN_E_INVALID_REQUEST, 600, 800, 480},
        {"nocertificate", 0, 600, 800, 480},
        {"textsizes", 0, 600, 0, 0},
        {"hugesizes", 0, 99999999, 21474836, -2147483},
    };
    for (const auto& each : cases) {
        PurchaseRecord purchase(each.vantor);
        ScriptedWaitWindow waitWindow;
        EXPECT_EQ(DoInitialHandShake(&purchase.record, &purchase.certificate, waitWindow), each.expected)
            << each.vantor;
        EXPECT_EQ(purchase.record.wizardHeight, each.wizardHeight) << each.vantor;
        EXPECT_EQ(purchase.record.wizardWidth, each.wizardWidth) << each.vantor;
        EXPECT_EQ(purchase.record.invoiceHeight, each.invoiceHeight) << each.vantor;
        if (std::strstr(each.vantor, "sizes") == nullptr) {
            EXPECT_EQ(purchase.certificate, nullptr) << each.vantor;
        }
        EXPECT_FALSE(waitWindow.Saw(ENGINEAUTOUPDATE)) << each.vantor;
    }
}

TEST(HandShake, OnlyANewerBuildSignedWithATrustedKeyIsHandedOverAndARefusalLetsThePurchaseGoOn) {
    PrivateTempFolder temp;
    const struct {
        const char* vantor;
        const char* refusal;
    } cases[] = {
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

TEST(HandShake, TheCloseBoxDuringAStalledDownloadEndsItPromptly) {
    PurchaseRecord purchase("update-stalldownload");
    ScriptedWaitWindow waitWindow;
    // The download stalls after half the file, for a minute: the close comes
    // in the stall.
    const auto downloading = [&waitWindow] {
        const auto notices = waitWindow.Notices();
        auto notice = std::find_if(notices.begin(), notices.end(),
                                   [](const testing::SeenNotice& seen) { return seen.kind == ENGINEAUTOUPDATE; });
        return std::any_of(notice, notices.end(), [](const testing::SeenNotice& seen) {
            return seen.done > 0 && seen.done >= seen.total / 2;
        });
    };
    std::thread closer([&] {
        const auto end = Clock::now() + std::chrono::seconds(60);
        while (!downloading() && Clock::now() < end) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        waitWindow.CloseRunningWizard();
    });
    const Clock::time_point start = Clock::now();
    EXPECT_EQ(DoInitialHandShake(&purchase.record, &purchase.certificate, waitWindow), ZUN_E_SESSION_CLOSED);
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(30));
    closer.join();
    EXPECT_EQ(purchase.record.updateFilePath[0], '\0');
}

// The refusal comes before the window is up: the question waits for it, and Cancel ends the
// call with the failing step's status. Without questions the worker may end before the window
// opens, and the call still returns.
TEST(HandShake, ARefusedConnectionWaitsForTheWindowAndCancelEndsWithTheFailingStepsStatus) {
    StoreHostOverride closed(testing::kClosedStoreHost);
    for (uint32_t interactive : {1u, 0u}) {
        PurchaseRecord purchase("noupdate");
        purchase.record.interactive = interactive;
        ScriptedWaitWindow waitWindow;
        waitWindow.openDelay = std::chrono::milliseconds(400);
        EXPECT_EQ(DoInitialHandShake(&purchase.record, &purchase.certificate, waitWindow), 0x80072EFDu);
        const auto notices = waitWindow.Notices();
        ASSERT_EQ(notices.size(), interactive);
        for (const testing::SeenNotice& notice : notices) EXPECT_EQ(notice.kind, CONNECTIONERROR);
    }
}

// A question that the page never takes is given up when the window goes,
// or else at the bound, so that the worker never spins behind a window.
TEST(HandShake, AQuestionThePageNeverTakesEndsWhenTheWindowGoesOrAtTheBound) {
    StoreHostOverride closed(testing::kClosedStoreHost);
    for (int closeAtRefusal : {3, 0}) {
        PurchaseRecord purchase("noupdate");
        ScriptedWaitWindow waitWindow;
        waitWindow.refuseNotices = true;
        waitWindow.closeAtRefusal = closeAtRefusal;
        const Clock::time_point start = Clock::now();
        EXPECT_EQ(DoInitialHandShake(&purchase.record, &purchase.certificate, waitWindow), 0x80072EFDu);
        const Clock::duration took = Clock::now() - start;
        if (closeAtRefusal != 0) {
            EXPECT_EQ(waitWindow.refused.load(), closeAtRefusal);
            EXPECT_LT(took, kConnectionErrorOfferLimit);
        } else {
            EXPECT_GE(took, kConnectionErrorOfferLimit);
            EXPECT_LT(took, kConnectionErrorOfferLimit + std::chrono::seconds(15));
        }
    }
}

}  // namespace
}  // namespace zun
