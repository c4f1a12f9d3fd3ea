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
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <future>
#include <mutex>
#include <string>
#include <vector>

#include <zunserver/zunserver.h>

#include "base/engine_heap.h"
#include "base/trace.h"
#include "platform/ui.h"
#include "wizard/wizard_controller.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::duration span) { return std::chrono::duration<double>(span).count(); }

// Times the engine's trace lines: the wizard's start (the handshake has
// ended), its first navigation (its browser is ready) and the first
// DocumentComplete after it (the store's first page).
class Milestones final : public zun::trace::Listener {
public:
    explicit Milestones(bool timeline) : _timeline(timeline), _start(Clock::now()) {}

    void OnTraceLine(const char* line) override {
        const auto now = Clock::now();
        std::lock_guard<std::mutex> lock(_lock);
        if (_timeline) std::fprintf(stderr, "%8.3f %s\n", Seconds(now - _start), line);
        if (!_wizard && std::strstr(line, "RunPurchaseWizard(): Running DoModal()") != nullptr) {
            _wizard = true;
            wizardStart = now;
        }
        if (_wizard && !_navigating && std::strstr(line, "CWizardDialog::OnBeforeNavigate()") != nullptr) {
            _navigating = true;
            navigationStart = now;
        }
        if (_navigating && !_complete && std::strstr(line, "Prolog CWizardDialog::OnDocumentComplete(") != nullptr) {
            _complete = true;
            documentComplete = now;
            _changed.notify_all();
        }
    }
    bool WaitForDocument(std::chrono::seconds limit) {
        std::unique_lock<std::mutex> lock(_lock);
        return _changed.wait_for(lock, limit, [this] { return _complete; });
    }

    Clock::time_point wizardStart;
    Clock::time_point navigationStart;
    Clock::time_point documentComplete;

private:
    const bool _timeline;
    const Clock::time_point _start;
    std::mutex _lock;
    std::condition_variable _changed;
    bool _wizard = false;
    bool _navigating = false;
    bool _complete = false;
};

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
        zun::platform::ui::SendWindowMessage(zun::TheWizardController().GetRunningWizardHWND(),
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
