#include "platform/trace_sink.h"

#include <windows.h>

namespace zun::platform {

// The debugger output has no cheap way to tell whether anyone listens (a
// system-wide viewer may, without a debugger attached), so it always takes lines.
bool TraceSinkEnabled() { return true; }

void WriteTraceLine(const char* line) { OutputDebugStringA(line); }

}  // namespace zun::platform
