// Sends every trace line to a listener that drops it, so that the fuzzers
// also run the formatting of each line.
#pragma once

#include "base/trace.h"

namespace zun::fuzzing {

class DiscardTrace final : public trace::Listener {
public:
    void OnTraceLine(const char*) override {}
};

inline void InstallDiscardingTrace() {
    static DiscardTrace listener;
    trace::SetListener(&listener);
}

}  // namespace zun::fuzzing
