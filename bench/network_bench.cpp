// The engine's network work against the local store server, next to curl
// doing the same work: a 64 MiB download, a signed 64 MiB engine update
// downloaded and verified (against curl and `openssl dgst -verify`), and the
// update check's two requests. Run through bench/network-bench, which starts
// the server with a 64 MiB engine file to offer and hands its address over
// in ZUN_STORE_HOST.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <zunserver/zunserver.h>

#include "net/inetblock.h"
#include "net/store_host.h"
#include "net/store_requests.h"
#include "state/base64.h"
#include "state/cartstate.h"
#include "update/engine_update_check.h"

extern char** environ;

namespace {

constexpr int64_t kDownloadSize = 64 * 1024 * 1024;

std::string StoreUrl(const std::string& path) { return "http://" + std::string(zun::StoreHost()) + path; }

std::string DownloadUrl() { return StoreUrl("/files/bench.bin?size=" + std::to_string(kDownloadSize)); }

std::string TemporaryPath() {
    const char* directory = std::getenv("TMPDIR");
    return std::string(directory != nullptr ? directory : "/tmp") + "/zun_bench_download.bin";
}

// Runs `program` with `arguments`, its output discarded, and waits for it;
// false when it failed.
bool Run(const char* program, const std::vector<std::string>& arguments) {
    std::vector<char*> argv;
    std::string name = program;
    argv.push_back(name.data());
    std::vector<std::string> copies = arguments;
    for (std::string& argument : copies) argv.push_back(argument.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, program, &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    return spawned == 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

bool RunCurl(const std::vector<std::string>& arguments) { return Run("curl", arguments); }

// The store's engine update offer: DOWNLOADURL and DOWNLOADSIGNATURE.
struct Offer {
    char url[1025] = {};
    char signature[257] = {};
};

bool AskForUpdate(zun::InetBlock& session, Offer* offer) {
    uint8_t* reply = nullptr;
    const std::string query = StoreUrl("/store/IEEngineHandler.aspx?call=CHECKFORIEENGINEUPDATE&vnidc=update");
    if (session.PageGET(query.c_str(), &reply, nullptr) != 0) return false;
    zun::CartState state;
    return zun::LoadReply(state, reply) == 0 && state.GetValue("DOWNLOADURL", offer->url, 1024) == 0 &&
           state.GetValue("DOWNLOADSIGNATURE", offer->signature, 256) == 0;
}

void DownloadFileEngine(benchmark::State& state) {
    zun::InetBlock session;
    if (session.OpenNetwork(zun::StoreHost(), 0, 0) != 0) return state.SkipWithError("no store server");
    const std::string url = DownloadUrl();
    const std::string path = TemporaryPath();
    for (auto _ : state) {
        if (session.DownloadFile(url.c_str(), path.c_str()) != 0) return state.SkipWithError("download failed");
    }
    state.SetBytesProcessed(state.iterations() * kDownloadSize);
    std::remove(path.c_str());
}
BENCHMARK(DownloadFileEngine)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1)->Repetitions(5);

void DownloadFileCurl(benchmark::State& state) {
    const std::string path = TemporaryPath();
    for (auto _ : state) {
        if (!RunCurl({"-s", "-f", "-o", path, DownloadUrl()})) return state.SkipWithError("curl failed");
    }
    state.SetBytesProcessed(state.iterations() * kDownloadSize);
    std::remove(path.c_str());
}
BENCHMARK(DownloadFileCurl)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1)->Repetitions(5);

// The engine's update download: written through the file's own handle,
// hashed on the way, and the signature checked with the trusted key.
void SignedUpdateEngine(benchmark::State& state) {
    zun::InetBlock session;
    Offer offer;
    if (session.OpenNetwork(zun::StoreHost(), 0, 0) != 0 || !AskForUpdate(session, &offer)) {
        return state.SkipWithError("no store server offering an update");
    }
    for (auto _ : state) {
        char path[260];
        zun::EngineUpdateFile file;
        uint8_t digest[zun::platform::signature::kDigestSize];
        if (file.Create("XWS", path, sizeof path) != 0) return state.SkipWithError("no temporary file");
        const bool downloaded = session.DownloadFile(offer.url, file) == 0 && file.Finish(digest);
        const bool signedByKey = downloaded && zun::SignedByTrustedKey(digest, offer.signature);
        std::remove(path);
        if (!signedByKey) return state.SkipWithError("download or signature failed");
    }
    state.SetBytesProcessed(state.iterations() * kDownloadSize);
}
BENCHMARK(SignedUpdateEngine)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1)->Repetitions(5);

// The same with curl -o, then openssl dgst -sha256 -verify on the file.
void SignedUpdateCurlOpenSsl(benchmark::State& state) {
    zun::InetBlock session;
    Offer offer;
    if (session.OpenNetwork(zun::StoreHost(), 0, 0) != 0 || !AskForUpdate(session, &offer)) {
        return state.SkipWithError("no store server offering an update");
    }
    const std::string path = TemporaryPath();
    const std::string signature = path + ".sig";
    uint8_t der[80];
    const size_t size = zun::DecodeBase64(offer.signature, der, sizeof der, nullptr);
    std::FILE* out = std::fopen(signature.c_str(), "wb");
    if (out == nullptr || std::fwrite(der, 1, size, out) != size || std::fclose(out) != 0) {
        return state.SkipWithError("cannot write the signature");
    }
    for (auto _ : state) {
        if (!RunCurl({"-s", "-f", "-o", path, offer.url}) ||
            !Run("openssl", {"dgst", "-sha256", "-verify", ZUN_DEVELOPMENT_UPDATE_KEY, "-signature", signature, path})) {
            return state.SkipWithError("curl or openssl failed");
        }
    }
    state.SetBytesProcessed(state.iterations() * kDownloadSize);
    std::remove(path.c_str());
    std::remove(signature.c_str());
}
BENCHMARK(SignedUpdateCurlOpenSsl)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1)->Repetitions(5);

void UpdateCheckEngine(benchmark::State& state) {
    for (auto _ : state) {
        GatewayRecord record{};
        record.size = sizeof record;
        record.callType = ZUN_CALL_CHECK_FOR_UPDATE;
        record.vantorID = "update";
        record.skuRefNum = "SKU";
        record.pc = "PC";
        record.trackingID = "bench";
        if (EntryPoint(&record) != ZUN_S_UPDATE_AVAILABLE) return state.SkipWithError("update check failed");
    }
}
BENCHMARK(UpdateCheckEngine)->Unit(benchmark::kMicrosecond)->UseRealTime()->Iterations(1)->Repetitions(50);

void UpdateCheckCurl(benchmark::State& state) {
    const std::string ping = StoreUrl("/store/ping.aspx");
    const std::string check = StoreUrl(
        "/store/IEEngineHandler.aspx?call=silentcheckforupdate&cmd=silentcheckforupdate&s=update&skurefnum=SKU"
        "&pc=PC&trackingID=bench");
    for (auto _ : state) {
        if (!RunCurl({"-s", "-f", "-o", "/dev/null", ping, "-o", "/dev/null", check})) {
            return state.SkipWithError("curl failed");
        }
    }
}
BENCHMARK(UpdateCheckCurl)->Unit(benchmark::kMicrosecond)->UseRealTime()->Iterations(1)->Repetitions(50);

}  // namespace

BENCHMARK_MAIN();
