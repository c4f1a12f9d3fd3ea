// The engine's network work against the local store server, next to curl
// doing the same work: a 64 MiB download, and the update check's two
// requests. Run through bench/network-bench, which starts the server and
// hands its address over in ZUN_STORE_HOST.
#include <benchmark/benchmark.h>

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

extern char** environ;

namespace {

constexpr int64_t kDownloadSize = 64 * 1024 * 1024;

std::string StoreUrl(const std::string& path) { return "http://" + std::string(zun::StoreHost()) + path; }

std::string DownloadUrl() { return StoreUrl("/files/bench.bin?size=" + std::to_string(kDownloadSize)); }

std::string TemporaryPath() {
    const char* directory = std::getenv("TMPDIR");
    return std::string(directory != nullptr ? directory : "/tmp") + "/zun_bench_download.bin";
}

// Runs curl with `arguments` and waits for it; false when it failed.
bool RunCurl(const std::vector<std::string>& arguments) {
    std::vector<char*> argv;
    std::string program = "curl";
    argv.push_back(program.data());
    std::vector<std::string> copies = arguments;
    for (std::string& argument : copies) argv.push_back(argument.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawnp(&pid, "curl", nullptr, nullptr, argv.data(), environ) != 0) return false;
    int status = 0;
    return waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
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
