// Trace lines: "ZUN: ..." for entry, exit and progress, "ZUN_E: ..." for
// failures, each prefixed with its source file and line. Tracing formats into
// a fixed buffer (a long line is cut, never overflowed) and changes nothing
// else.
#pragma once

#include "base/bounded_text.h"

#define ZUN_TRACE(...) ::zun::trace::Write(__FILE__, __LINE__, __VA_ARGS__)

namespace zun::trace {

// Longest trace line, terminator included; longer lines are cut.
inline constexpr size_t kMaxLineSize = 1024;

void Write(const char* file, int line, const char* format, ...) ZUN_PRINTF_FORMAT(3, 4);

// Whether a line written now would reach anyone: lets a caller skip work
// that only feeds the trace.
bool Enabled();

// Receives every trace line besides the platform's sink (tests read the
// engine's trace through one). Lines may come from any engine thread.
class Listener {
public:
    virtual void OnTraceLine(const char* line) = 0;

protected:
    ~Listener() = default;
};

// Installs `listener` (null removes it); returns the one it replaces.
Listener* SetListener(Listener* listener);

}  // namespace zun::trace
