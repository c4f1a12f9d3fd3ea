#include "platform/trace_sink.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace zun::platform {
namespace {

// ZUN_TRACE unset: no tracing. Empty, "1" or "stderr": standard error.
// Anything else names a file that lines are appended to.
FILE* OpenSink() {
    const char* setting = std::getenv("ZUN_TRACE");
    if (setting == nullptr) return nullptr;
    if (setting[0] == '\0' || std::strcmp(setting, "1") == 0 || std::strcmp(setting, "stderr") == 0) {
        return stderr;
    }
    FILE* file = std::fopen(setting, "ae");
    if (file == nullptr) return stderr;
    std::setvbuf(file, nullptr, _IOLBF, 0);
    return file;
}

FILE* Sink() {
    static FILE* const sink = OpenSink();
    return sink;
}

}  // namespace

bool TraceSinkEnabled() { return Sink() != nullptr; }

void WriteTraceLine(const char* line) {
    if (FILE* sink = Sink()) std::fputs(line, sink);
}

}  // namespace zun::platform
