// Times a purchase wizard through the engine's trace lines: the wizard's
// start (for a purchase call, the handshake has ended), its first navigation
// (its browser is ready) and the first DocumentComplete after it (the store's
// first page). The benchmarks install it as the trace listener.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>

#include "base/trace.h"

namespace bench {

using Clock = std::chrono::steady_clock;

inline double Seconds(Clock::duration span) { return std::chrono::duration<double>(span).count(); }

// `timeline` prints every trace line with the seconds since construction.
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

}  // namespace bench
