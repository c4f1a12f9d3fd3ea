// A whole purchase call (EntryPoint, call type 0) up to the DocumentComplete
// of the store's first page, in headless Chromium against the local store
// server: the handshake behind the wait window with its grace second, the
// wizard's browser and the pre-fill navigation, each shown apart. Then the
// engine process's peak resident memory (Chromium's processes are others).
// ZUN_BENCH_TIMELINE=1 prints every trace line of the calls with the
// seconds since the call began, to show where the time goes.
// Run through bench/purchase-bench, which starts the server in a
// loopback-only network namespace and hands its address over in
// ZUN_STORE_HOST.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <future>
#include <string>
#include <vector>

#include <zunserver/zunserver.h>

#include "base/engine_heap.h"
#include "base/trace.h"
#include "platform/ui.h"
#include "wizard/wizard_window_registry.h"
#include "wizard_milestones.h"

namespace {

using bench::Clock;
using bench::Milestones;
using bench::Seconds;

// The process's peak resident set so far (VmHWM), in MiB; 0 when unknown.
double PeakResidentMiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0) return std::strtod(line.c_str() + 6, nullptr) / 1024.0;
    }
    return 0;
}

void PurchaseCallToFirstStorePage(benchmark::State& state) {
    double handshake = 0;
    double browserStart = 0;
    double navigation = 0;
    for (auto _ : state) {
        Milestones milestones(std::getenv("ZUN_BENCH_TIMELINE") != nullptr);
        zun::trace::Listener* previous = zun::trace::SetListener(&milestones);
        char publisherID[50] = {};
        GatewayRecord record{};
        record.size = sizeof record;
        record.callType = ZUN_CALL_PURCHASE;
        record.vantorID = "BENCH";
        record.publisherID = publisherID;
        const auto start = Clock::now();
        auto call = std::async(std::launch::async, [&record] { return EntryPoint(&record); });
        const bool loaded = milestones.WaitForDocument(std::chrono::seconds(60));
        zun::trace::SetListener(previous);
        // The shopper closes the window; the call then returns.
        zun::platform::ui::SendWindowMessage(zun::TheWizardWindowRegistry().RunningWizard(),
                                             zun::platform::ui::kMsgClose, 0, 0, nullptr);
        const ZunStatus status = call.get();
        zun::heap::Release(record.cartStateOut);
        if (!loaded || status != 0) {
            state.SkipWithError("the purchase call did not reach the store's first page");
            break;
        }
        state.SetIterationTime(Seconds(milestones.documentComplete - start));
        handshake = Seconds(milestones.wizardStart - start);
        browserStart = Seconds(milestones.navigationStart - milestones.wizardStart);
        navigation = Seconds(milestones.documentComplete - milestones.navigationStart);
    }
    state.counters["handshake_s"] = handshake;
    state.counters["browser_start_s"] = browserStart;
    state.counters["navigation_s"] = navigation;
    state.counters["peak_rss_MiB"] = PeakResidentMiB();
}

double Least(const std::vector<double>& values) { return *std::min_element(values.begin(), values.end()); }
double Most(const std::vector<double>& values) { return *std::max_element(values.begin(), values.end()); }

BENCHMARK(PurchaseCallToFirstStorePage)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(10)
    ->ComputeStatistics("min", Least)
    ->ComputeStatistics("max", Most);

}  // namespace

BENCHMARK_MAIN();
