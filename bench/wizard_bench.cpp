// RunPurchaseWizard up to the DocumentComplete of the store's first page, in
// headless Chromium against the local store server, with the browser's start
// and the pre-fill navigation shown apart. Run through bench/wizard-bench,
// which starts the server in a loopback-only network namespace and hands its
// address over in ZUN_STORE_HOST.
#include <benchmark/benchmark.h>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <future>
#include <mutex>

#include "base/engine_heap.h"
#include "base/trace.h"
#include "platform/ui.h"
#include "wizard/wizard_controller.h"

namespace {

using Clock = std::chrono::steady_clock;

// Times the wizard's trace lines: the first navigation (the browser has
// started) and the first DocumentComplete.
class Milestones final : public zun::trace::Listener {
public:
    void OnTraceLine(const char* line) override {
        const auto now = Clock::now();
        std::lock_guard<std::mutex> lock(_lock);
        if (!_navigating && std::strstr(line, "CWizardDialog::OnBeforeNavigate()") != nullptr) {
            _navigating = true;
            navigationStart = now;
        }
        if (!_complete && std::strstr(line, "Prolog CWizardDialog::OnDocumentComplete(") != nullptr) {
            _complete = true;
            documentComplete = now;
            _changed.notify_all();
        }
    }
    bool WaitForDocument(std::chrono::seconds limit) {
        std::unique_lock<std::mutex> lock(_lock);
        return _changed.wait_for(lock, limit, [this] { return _complete; });
    }

    Clock::time_point navigationStart;
    Clock::time_point documentComplete;

private:
    std::mutex _lock;
    std::condition_variable _changed;
    bool _navigating = false;
    bool _complete = false;
};

void PurchaseWizardToFirstStorePage(benchmark::State& state) {
    double browserStart = 0;
    double navigation = 0;
    for (auto _ : state) {
        Milestones milestones;
        zun::trace::Listener* previous = zun::trace::SetListener(&milestones);
        GatewayRecord record{};
        record.size = sizeof record;
        record.vantorID = "BENCH";
        record.wizardWidth = 760;
        record.wizardHeight = 560;
        const auto start = Clock::now();
        auto run = std::async(std::launch::async, [&] {
            return zun::TheWizardController().RunPurchaseWizard(&record, true, nullptr);
        });
        const bool loaded = milestones.WaitForDocument(std::chrono::seconds(60));
        zun::trace::SetListener(previous);
        zun::platform::ui::SendWindowMessage(zun::TheWizardController().GetRunningWizardHWND(),
                                             zun::platform::ui::kMsgClose, 0, 0, nullptr);
        run.wait();
        zun::heap::Release(record.cartStateOut);
        if (!loaded) {
            state.SkipWithError("the store's first page did not load");
            break;
        }
        const std::chrono::duration<double> total = milestones.documentComplete - start;
        browserStart = std::chrono::duration<double>(milestones.navigationStart - start).count();
        navigation = std::chrono::duration<double>(milestones.documentComplete - milestones.navigationStart).count();
        state.SetIterationTime(total.count());
    }
    state.counters["browser_start_s"] = browserStart;
    state.counters["navigation_s"] = navigation;
}
BENCHMARK(PurchaseWizardToFirstStorePage)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(10);

}  // namespace

BENCHMARK_MAIN();
