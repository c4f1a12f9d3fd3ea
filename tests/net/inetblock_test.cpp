#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "net/inetblock.h"
#include "file_bytes.h"
#include "store_server.h"
#include "trace_capture.h"

namespace zun {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;
using testing::Get;
using testing::Reply;
using testing::RequestLog;
using testing::StoreServer;
using testing::StoreUrl;

struct ProgressCall {
    uint32_t contentLength, bytesSoFar, percent, done;
    bool operator==(const ProgressCall&) const = default;
};

// What the callbacks saw; the callbacks are plain functions, as the session's are.
struct Recorder {
    std::mutex mutex;
    std::vector<ProgressCall> progress;
    std::vector<std::string> reports;
    std::vector<uint32_t> answers;  // given to the reports in turn; 2 when used up
    std::atomic<uint32_t> received{0};
};
Recorder* g_recorder = nullptr;

uint32_t OnProgress(uint32_t contentLength, uint32_t bytesSoFar, uint32_t percent, uint32_t done) {
    std::lock_guard<std::mutex> lock(g_recorder->mutex);
    g_recorder->progress.push_back({contentLength, bytesSoFar, percent, done});
    g_recorder->received = bytesSoFar;
    return 0;
}

uint32_t OnConnectionError(const char* caption, const char* message, uint32_t) {
    std::lock_guard<std::mutex> lock(g_recorder->mutex);
    g_recorder->reports.push_back(std::string(caption) + "|" + message);
    const size_t turn = g_recorder->reports.size() - 1;
    return turn < g_recorder->answers.size() ? g_recorder->answers[turn] : 2;
}

class InetBlockTest : public ::testing::Test {
protected:
    InetBlockTest() { g_recorder = &recorder; }
    ~InetBlockTest() override { g_recorder = nullptr; }

    InetCallbacks Callbacks() const {
        InetCallbacks callbacks;
        callbacks.pfnProgress = &OnProgress;
        callbacks.pfnConnectionError = &OnConnectionError;
        return callbacks;
    }

    Recorder recorder;
};

TEST_F(InetBlockTest, GetsRepliesIntoMemoryWithAZeroByteAfterThemAndDownloadsNoErrorPage) {
    InetBlock session(Callbacks());
    ASSERT_EQ(session.OpenNetwork(StoreServer().c_str(), 0, 0), 0u);
    recorder.progress.clear();
    Reply known;
    ASSERT_EQ(Get(session, "/body?size=3000", known), 0u);
    ASSERT_EQ(known.length, 3000u);
    EXPECT_EQ(known.data[3000], 0);
    EXPECT_EQ(recorder.progress.back(), (ProgressCall{3000, 3000, 100, 1}));

    // Without Content-Length the buffer grows as the reply comes, and
    // progress counts against 2048 bytes.
    recorder.progress.clear();
    Reply unknown;
    ASSERT_EQ(Get(session, "/body?size=5000&length=none", unknown), 0u);
    EXPECT_EQ(unknown.length, 5000u);
    EXPECT_EQ(unknown.data[5000], 0);
    ASSERT_GE(recorder.progress.size(), 2u);
    for (const ProgressCall& call : recorder.progress) EXPECT_EQ(call.contentLength, 2048u);
    EXPECT_EQ(recorder.progress[recorder.progress.size() - 2], (ProgressCall{2048, 5000, 244, 0}));
    EXPECT_EQ(recorder.progress.back(), (ProgressCall{2048, 2048, 100, 1}));

    Reply cut;
    ASSERT_EQ(Get(session, "/body?size=100&length=40", cut), 0u);
    EXPECT_EQ(cut.Text(), "abcdefghijklmnopqrstuvwxyzabcdefghijklmn");
    // Into memory an error page's body is the reply; a download of one fails.
    Reply notFound;
    ASSERT_EQ(Get(session, "/no/such/page", notFound), 0u);
    EXPECT_THAT(notFound.Text(), HasSubstr("Not found"));
    const char* path = "zun_error_page_test.bin";
    for (const char* url : {"/body?size=100&status=500", "/no/such/page", "/body?size=10&status=302"}) {
        EXPECT_EQ(session.DownloadFile(StoreUrl(url).c_str(), path), ZUN_E_NETWORK) << url;
    }
    std::remove(path);
}

TEST_F(InetBlockTest, RefusesBrokenAndOversizedReplies) {
    InetBlock session;
    ASSERT_EQ(session.OpenNetwork(StoreServer().c_str(), 0, 0), 0u);
    // The connection ends before the announced length.
    Reply dropped;
    EXPECT_EQ(Get(session, "/body?size=1000&length=5000", dropped), ZUN_E_NETWORK);
    EXPECT_EQ(dropped.data, nullptr);  // a cut reply is not handed out
    // A length no reply may have fails before anything is allocated for it.
    for (const char* length : {"67108865", "5000000000"}) {
        Reply huge;
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(Get(session, std::string("/body?size=10&length=") + length, huge), InetBlock::kReplyTooLarge)
            << length;
        EXPECT_EQ(huge.data, nullptr);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    }
    // Without a length the same limit holds: a reply may fill it, not pass it.
    // (Not under Wine, where each 64 MiB reply takes half a minute.)
#if !defined(_WIN32)
    const std::string limit = std::to_string(InetBlock::kMaxMemoryReply);
    Reply full;
    ASSERT_EQ(Get(session, "/files/full?length=none&size=" + limit, full), 0u);
    EXPECT_EQ(full.length, InetBlock::kMaxMemoryReply);
    Reply over;
    EXPECT_EQ(Get(session, "/files/over?length=none&size=" + std::to_string(InetBlock::kMaxMemoryReply + 1), over),
              InetBlock::kReplyTooLarge);
#endif
    Reply negative;
    EXPECT_NE(Get(session, "/body?size=10&length=-1", negative), 0u);
    // The session goes on working afterwards.
    Reply after;
    EXPECT_EQ(Get(session, "/body?size=10", after), 0u);
    EXPECT_EQ(after.length, 10u);
}

TEST_F(InetBlockTest, ReadsTheBodyAsTheReplyFramesIt) {
    InetBlock session;
    ASSERT_EQ(session.OpenNetwork(StoreServer().c_str(), 0, 0), 0u);
    // A chunked body is read to its last chunk, whatever Content-Length the
    // reply also names, before the header or in its trailer.
    for (const char* reply : {"chunked_with_length", "chunked_trailer", "repeated_length"}) {
        Reply body;
        EXPECT_EQ(Get(session, std::string("/framing?reply=") + reply, body), 0u) << reply;
        EXPECT_EQ(body.Text(), "abcdefghijklmnopqrstuvwxyz") << reply;
    }
    Reply conflicting;
    // ERROR_HTTP_INVALID_SERVER_RESPONSE
    EXPECT_EQ(Get(session, "/framing?reply=conflicting_lengths", conflicting), 0x80072F78u);
}

TEST_F(InetBlockTest, AMemoryRequestEndsAtItsTimeLimitADownloadGoesOn) {
    InetBlock session;
    ASSERT_EQ(session.OpenNetwork(StoreServer().c_str(), 0, 0), 0u);
    // Ten bytes, one every 0.5 s: the server never stalls long enough for the
    // stall limit, and the whole reply takes five seconds.
    const std::string dripping = "/body?size=10&drip=0.5";
    InetBlock::SetMemoryRequestTimeLimit(800);
    testing::TraceCapture trace;
    Reply reply;
    const auto start = std::chrono::steady_clock::now();
    const Status status = Get(session, dripping, reply);
    const auto took = std::chrono::steady_clock::now() - start;
    const char* path = "zun_dripping_test.bin";
    const Status download = session.DownloadFile(StoreUrl(dripping).c_str(), path);
    InetBlock::SetMemoryRequestTimeLimit(0);

    EXPECT_EQ(status, ZUN_E_NETWORK);
    EXPECT_THAT(trace.Messages(), Contains(HasSubstr("Failure 12002")));  // ERROR_INTERNET_TIMEOUT
    EXPECT_LT(took, std::chrono::milliseconds(4000));
    EXPECT_EQ(download, 0u);
    EXPECT_EQ(testing::FileBytes(path), "abcdefghij");
    std::remove(path);
}

TEST_F(InetBlockTest, AuthenticationOnANonInteractiveSessionFailsWithoutADialog) {
    InetBlock session(Callbacks());
    ASSERT_EQ(session.OpenNetwork(StoreServer().c_str(), 0, 0), 0u);
    Reply reply;
    for (const char* code : {"401", "407"}) {
        EXPECT_EQ(Get(session, std::string("/auth?code=") + code, reply), ZUN_E_AUTH_NOT_ALLOWED);
    }
    EXPECT_TRUE(recorder.reports.empty());
#if !defined(_WIN32)
    // Linux has no authentication dialog: an interactive session's demand is answered as cancelled.
    InetBlock interactive;
    ASSERT_EQ(interactive.OpenNetwork(StoreServer().c_str(), 0, 1), 0u);
    EXPECT_EQ(Get(interactive, "/auth?code=401", reply), ZUN_E_NETWORK);
#endif
}

TEST_F(InetBlockTest, RequestsGoOnlyThroughABlessedSessionAndToItsHost) {
    InetBlock unopened;
    Reply refused;
    EXPECT_EQ(Get(unopened, "/body?size=1&marker=unblessed", refused), ZUN_E_NOT_PINGED);
    EXPECT_EQ(unopened.DownloadFile(StoreUrl("/files/unblessed").c_str(), "unblessed.bin"), ZUN_E_NOT_PINGED);
    std::remove("unblessed.bin");

    InetBlock session;
    ASSERT_EQ(session.OpenNetwork(StoreServer().c_str(), 0, 0), 0u);
    // A URL that names another host, port or scheme is refused, never sent
    // to the session's own server instead.
    for (const std::string& url : {std::string("http://elsewhere.invalid/cartstate?marker=otherhost"),
                                   "https://" + StoreServer() + "/cartstate?marker=otherscheme",
                                   std::string("http://127.0.0.1:1/cartstate?marker=otherport")}) {
        Reply elsewhere;
        EXPECT_EQ(session.PageGET(url.c_str(), &elsewhere.data, &elsewhere.length), ZUN_E_INVALID_ARG) << url;
    }
    Reply own;
    EXPECT_EQ(Get(session, "/cartstate?marker=ownhost", own), 0u);
    const std::string log = RequestLog();
    EXPECT_THAT(log, HasSubstr("GET /cartstate?marker=ownhost HTTP/1.1"));
    EXPECT_THAT(log, Not(HasSubstr("marker=other")));
    EXPECT_THAT(log, Not(HasSubstr("marker=unblessed")));
    // A path and query of 512 characters does not fit the URL's parts.
    Reply tooLong;
    EXPECT_EQ(Get(session, "/" + std::string(511, 'p'), tooLong), ZUN_E_TEXT_TRUNCATED);
}

TEST_F(InetBlockTest, ASecureSessionFailsOnACertificateThatDoesNotVerifyAndNeverRetriesWithout) {
    // The server's certificate is self-signed, for another host name: the
    // ping's one send fails and the session stays closed.
    testing::TraceCapture trace;
    InetBlock session;
    EXPECT_NE(session.OpenNetwork(StoreServer().c_str(), 1, 0), 0u);
    EXPECT_FALSE(session.Blessed());
    const std::vector<std::string> lines = trace.Messages();
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [](const std::string& line) {
                                return line.find("Prolog InetBlock::HandleAfterExecErrors(") != std::string::npos;
                            }),
              1);
}

// On a machine that trusts the server's certificate (trusted_machine.sh runs
// this test so): a secure session to a host that the certificate names
// (localhost) verifies; one to a host that it does not name (the address)
// fails.
TEST_F(InetBlockTest, ASecureSessionVerifiesTheHostNameOfATrustedCertificate) {
    if (std::getenv("ZUN_MACHINE_TRUSTS_STORE") == nullptr) GTEST_SKIP() << "run by trusted_machine.sh";
    const std::string port = StoreServer().substr(StoreServer().rfind(':'));
    InetBlock named;
    ASSERT_EQ(named.OpenNetwork(("localhost" + port).c_str(), 1, 0), 0u);
    Reply reply;
    const std::string url = "https://localhost" + port + "/cartstate?marker=verified";
    EXPECT_EQ(named.PageGET(url.c_str(), &reply.data, &reply.length), 0u);
    EXPECT_GT(reply.length, 12u);
    InetBlock unnamed;
    EXPECT_NE(unnamed.OpenNetwork(StoreServer().c_str(), 1, 0), 0u);
}

TEST_F(InetBlockTest, AFailedStepIsReportedAndRepeatedWhileTheUserAsksForRetry) {
    InetBlock closedPort(Callbacks());
    recorder.answers = {InetBlock::kRetry};
    EXPECT_EQ(closedPort.OpenNetwork(testing::kClosedStoreHost, 0, 1), 0x80072EFDu);
    ASSERT_EQ(recorder.reports.size(), 2u);
    EXPECT_THAT(recorder.reports[0], HasSubstr("due to a failed network request. (Error 0x80072EFD)."));
    EXPECT_FALSE(closedPort.Blessed());

    recorder.reports.clear();
    InetBlock session(Callbacks());
    ASSERT_EQ(session.OpenNetwork(StoreServer().c_str(), 0, 1), 0u);
    Reply reply;
    EXPECT_EQ(Get(session, "/body?size=10&length=20&marker=retry", reply), ZUN_E_NETWORK);
    const std::string report =
        "Could not connect to network...|Orvella Software could not connect to the Orvella servers due to a failed "
        "network request. (Error 0xE0020000).";
    EXPECT_THAT(recorder.reports, ElementsAre(report, report));
    const std::string log = RequestLog();
    const std::string line = "GET /body?size=10&length=20&marker=retry HTTP/1.1";
    ASSERT_NE(log.find(line), std::string::npos);
    EXPECT_NE(log.find(line, log.find(line) + 1), std::string::npos);

    // A download that fails once and then succeeds leaves only the new body.
    recorder.reports.clear();
    recorder.answers = {InetBlock::kRetry};
    const char* path = "zun_download_test.bin";
    ASSERT_EQ(session.DownloadFile(StoreUrl("/flaky?marker=download&size=3000").c_str(), path), 0u);
    EXPECT_EQ(recorder.reports.size(), 1u);
    const std::string body = testing::FileBytes(path);
    EXPECT_EQ(body.size(), 3000u);
    EXPECT_EQ(body.find('x'), std::string::npos);
    EXPECT_EQ(recorder.progress.back(), (ProgressCall{3000, 3000, 100, 1}));
    std::remove(path);
}

// Closes the session from another thread once `ready` holds (polled for at most 15 s; a late
// close finds the session closed as the call starts), and tells how long the blocked call took
// to return after that.
template <typename Ready, typename Call>
std::chrono::steady_clock::duration ReturnAfterClose(InetBlock& session, Ready ready, Call call) {
    std::chrono::steady_clock::time_point closedAt;
    std::thread closer([&] {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
        while (!ready() && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        closedAt = std::chrono::steady_clock::now();
        session.CloseNetwork();
    });
    call();
    const auto returnedAt = std::chrono::steady_clock::now();
    closer.join();
    return returnedAt - closedAt;
}

TEST_F(InetBlockTest, ClosingFromAnotherThreadAbortsAStalledTransferPromptly) {
    InetBlock session(Callbacks());
    ASSERT_EQ(session.OpenNetwork(StoreServer().c_str(), 0, 1), 0u);
    const char* path = "zun_stalled_test.bin";
    Status status = 0;
    const auto download = ReturnAfterClose(
        session, [&] { return recorder.received.load() != 0; },
        [&] { status = session.DownloadFile(StoreUrl("/body?size=4096&length=100000&stall=20").c_str(), path); });
    EXPECT_EQ(status, ZUN_E_SESSION_CLOSED);
    EXPECT_LT(download, std::chrono::seconds(10));  // the stall lasts 20 s
    // The file was closed: it can be removed.
    EXPECT_EQ(std::remove(path), 0);

    // The close is for good: the session neither opens again nor starts a
    // request.
    EXPECT_EQ(session.OpenNetwork(StoreServer().c_str(), 0, 1), ZUN_E_SESSION_CLOSED);
    Reply reply;
    EXPECT_EQ(Get(session, "/ping", reply), ZUN_E_SESSION_CLOSED);

    // A server that says nothing at all, once it has the request.
    InetBlock silent(Callbacks());
    ASSERT_EQ(silent.OpenNetwork(StoreServer().c_str(), 0, 1), 0u);
    const auto get = ReturnAfterClose(
        silent, [] { return RequestLog().find("marker=silent ") != std::string::npos; },
        [&] { status = Get(silent, "/body?size=10&wait=20&marker=silent", reply); });
    EXPECT_EQ(status, ZUN_E_SESSION_CLOSED);
    EXPECT_LT(get, std::chrono::seconds(10));
    EXPECT_TRUE(recorder.reports.empty());
}

}  // namespace
}  // namespace zun
