// RunPurchaseWizard up to the DocumentComplete of the store's first page, in
// headless Chromium against the local store server, with the browser's start
// and the pre-fill navigation shown apart. Run through bench/wizard-bench,
// which starts the server in a loopback-only network namespace and hands its
// address over in ZUN_STORE_HOST.
#include <benchmark/benchmark.h>

#include <chrono>
#include <future>

#include "base/engine_heap.h"
#include "base/trace.h"
#include "platform/ui.h"
#include "wizard/wizard_controller.h"
#include "wizard_milestones.h"
#include "wizard/wizard_window_registry.h"

namespace {

using bench::Clock;
using bench::Milestones;
using bench::Seconds;

void PurchaseWizardToFirstStorePage(benchmark::State& state) {
    double browserStart = 0;
    double navigation = 0;
    for (auto _ : state) {
        Milestones milestones(false);
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
        zun::platform::ui::SendWindowMessage(zun::TheWizardWindowRegistry().RunningWizard(),
                                             zun::platform::ui::kMsgClose, 0, 0, nullptr);
        run.wait();
        zun::heap::Release(record.cartStateOut);
        if (!loaded) {
            state.SkipWithError("the store's first page did not load");
            break;
        }
        state.SetIterationTime(Seconds(milestones.documentComplete - start));
        browserStart = Seconds(milestones.navigationStart - start);
        navigation = Seconds(milestones.documentComplete - milestones.navigationStart);
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
